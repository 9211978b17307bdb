#pragma once
// What both exporters share: the columns to write, the walk over the rows the current
// filter lets through, and the result. Plain C++: the command line exports too.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/AccountTable.h"

namespace kov {

struct ExportColumn {
  Field field;
  std::string title;  // as the grid shows it, Windows-1252
  // The number of the row's character uids (dbcharuid1 to dbcharuid5) instead of `field`.
  bool characterCount = false;
};

// Whether the column's cells are numbers: written as numbers and right-aligned.
bool IsNumberColumn(const ExportColumn& column);
// A number column's cell; nothing for an empty one.
std::optional<std::int32_t> NumberCell(const AccountTable& table, RowId row,
                                       const ExportColumn& column);
// A cell as text: a number in decimal, a text as read.
std::string CellText(const AccountTable& table, RowId row, const ExportColumn& column);

// The grid's visible columns with their default titles: "S", "Account", "Password",
// "PLevel", "EMail", "Days".
std::vector<ExportColumn> DefaultExportColumns();

// Minimum 0, maximum the table's row count (hidden rows included), and the position.
using ExportProgressFn =
    std::function<void(std::int64_t minimum, std::int64_t maximum, std::int64_t position)>;

struct ExportResult {
  bool ok = false;
  std::string error;  // for the operator: what failed and why
  int rows = 0;       // records written
};

// Calls `row` for every row of the view, in view order, reporting progress before the
// first row, now and then during the walk and once more at the maximum when done.
void WalkExportRows(const AccountTable& table, const ExportProgressFn& progress,
                    const std::function<bool(RowId)>& row);

}  // namespace kov
