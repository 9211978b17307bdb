#pragma once
// The filter of the grid's tab rows, so the command line filters exactly as the grid does.
// A row's answers to every tab are worked out at once as bits (the grid keeps them per row,
// so a tab switch reads one number per row); a tab is then a mask and the bits it wants.
#include <cstdint>

#include "store/AccountTable.h"

namespace kov {

// The grid's filter tabs, in their order.
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
constexpr int kCharTabCount = 6;  // the character-count tabs: "0 Chars" .. "5 Chars"

// What the tabs test of a row.
enum TabClassBit : std::uint16_t {
  kTabGuest = 0x01,
  kTabPlayer = 0x02,
  kTabStaff = 0x04,
  kTabBlocked = 0x08,
  kTabJailed = 0x10,
  kTabNotBlocked = 0x20,
  kTabCharShift = 8,   // the character count, 0..7, in bits 8 to 10
  kTabKnown = 0x8000,  // always set: a class of 0 means "not worked out yet"
};
std::uint16_t TabClassOf(const AccountTable& table, RowId row);

// A row is shown under a tab when (class & mask) == want.
struct TabTest {
  std::uint16_t mask = 0;
  std::uint16_t want = 0;
  bool Accepts(std::uint16_t rowClass) const { return (rowClass & mask) == want; }
};
// `charTab` is the character-count tab, used by TabCharCount only. An unknown tab, or a
// character tab outside 0..5, shows nothing.
TabTest TestOfTab(int tab, int charTab);

// Whether `row` is shown under `tab`.
inline bool AcceptsTab(const AccountTable& table, RowId row, int tab, int charTab) {
  return TestOfTab(tab, charTab).Accepts(TabClassOf(table, row));
}

}  // namespace kov
