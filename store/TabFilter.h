#pragma once
// The filter of the grid's tab rows as a plain predicate, so the command line filters
// exactly as the grid does.
#include "store/AccountTable.h"

namespace kov {

// TabControl1's tabs, in their order.
enum FilterTab : int {
  TabAll,
  TabGuest,
  TabPlayer,
  TabStaff,
  TabBlocked,
  TabJailed,
  TabCharCount,
  TabNotBlocked,
};
constexpr int kFilterTabCount = 8;
constexpr int kCharTabCount = 6;  // TabControl2: "0 Chars" .. "5 Chars"

// Whether `row` is shown under `tab`; `charTab` is TabControl2's tab, used by TabCharCount
// only. An unknown tab shows nothing.
bool AcceptsTab(const AccountTable& table, RowId row, int tab, int charTab);

}  // namespace kov
