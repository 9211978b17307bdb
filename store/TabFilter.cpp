#include "store/TabFilter.h"

#include <string>

namespace kov {

namespace {

// The level words are plain ASCII, so an ASCII upper-casing finds them in any letter case.
bool LevelContains(std::string_view level, std::initializer_list<std::string_view> words) {
  std::string upper(level);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (std::string_view w : words)
    if (upper.find(w) != std::string::npos) return true;
  return false;
}

}  // namespace

bool AcceptsTab(const AccountTable& table, RowId row, int tab, int charTab) {
  switch (tab) {
    case TabAll:
      return true;
    case TabGuest:
      return LevelContains(table.Text(row, dbplevel), {"GUEST"});
    case TabPlayer:
      return LevelContains(table.Text(row, dbplevel), {"PLAYER"});
    case TabStaff:
      return LevelContains(table.Text(row, dbplevel),
                           {"COUNSELOR", "SEER", "GM", "DEV", "ADMIN", "OWNER"});
    // An empty number reads as 0, as the grid's field access gives it.
    case TabBlocked:
      return table.IntOr0(row, dbblock) == 1;
    case TabJailed:
      return table.IntOr0(row, dbjail) == 1;
    case TabCharCount:
      return table.CharacterCount(row) == charTab;
    case TabNotBlocked:
      return table.IntOr0(row, dbblock) == 0;
    default:
      return false;
  }
}

}  // namespace kov
