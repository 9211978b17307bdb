#pragma once
#include <QCollator>
#include <vector>

#include "store/AccountTable.h"

namespace kov {

// The table's rows in the order of one field: texts by the collator, integers numerically
// with empty cells below every number. Rows with equal keys stay in the order they were
// added to the table; descending reverses the whole order, ties included.
std::vector<RowId> SortedOrder(const AccountTable& table, Field field, bool descending,
                               const QCollator& collator);

}  // namespace kov
