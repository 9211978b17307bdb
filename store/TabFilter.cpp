#include "store/TabFilter.h"

#include <string_view>

#include "store/LetterCase.h"

namespace kov {

std::uint16_t TabClassOf(const AccountTable& table, RowId row) {
  std::uint16_t c = kTabKnown;
  const std::string_view level = table.Text(row, dbplevel);
  if (ContainsUpperAscii(level, "GUEST")) c |= kTabGuest;
  if (ContainsUpperAscii(level, "PLAYER")) c |= kTabPlayer;
  for (std::string_view word : {"COUNSELOR", "SEER", "GM", "DEV", "ADMIN", "OWNER"})
    if (ContainsUpperAscii(level, word)) c |= kTabStaff;
  // An empty number reads as 0, as the grid's field access gives it.
  const int block = table.IntOr0(row, dbblock);
  if (block == 1) c |= kTabBlocked;
  if (block == 0) c |= kTabNotBlocked;
  if (table.IntOr0(row, dbjail) == 1) c |= kTabJailed;
  c |= static_cast<std::uint16_t>((table.CharacterCount(row) & 0x7) << kTabCharShift);
  return c;
}

TabTest TestOfTab(int tab, int charTab) {
  constexpr TabTest kNothing{kTabKnown, 0};
  switch (tab) {
    case TabAll:
      return {};
    case TabGuest:
      return {kTabGuest, kTabGuest};
    case TabPlayer:
      return {kTabPlayer, kTabPlayer};
    case TabStaff:
      return {kTabStaff, kTabStaff};
    case TabBlocked:
      return {kTabBlocked, kTabBlocked};
    case TabJailed:
      return {kTabJailed, kTabJailed};
    case TabNotBlocked:
      return {kTabNotBlocked, kTabNotBlocked};
    case TabCharCount:
      if (charTab < 0 || charTab >= kCharTabCount) return kNothing;
      return {static_cast<std::uint16_t>(0x7 << kTabCharShift),
              static_cast<std::uint16_t>(charTab << kTabCharShift)};
    default:
      return kNothing;
  }
}

}  // namespace kov
