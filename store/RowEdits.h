#pragma once
// What the operator's toggles and level pick do to a row, in one place: the editor panel
// applies an edit to the current row, a bulk change to every highlighted row, by the same
// rules (Blocked and Jailed set their field and their flag bit; a toggle marks the row
// changed even when it is new; a level marks only a stored row changed).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/AccountTable.h"

namespace kov {

struct RowEdit {
  enum class Kind { Blocked, Jailed, Flag, Level };
  Kind kind = Kind::Flag;
  bool on = false;        // Blocked, Jailed, Flag: set or clear
  std::uint32_t bit = 0;  // Flag: its bit in dbpriv
  int level = 0;          // Level: index into kPLevelNames
};

constexpr std::uint32_t kBlockedBit = 0x2000;
constexpr std::uint32_t kJailedBit = 0x0800;

// The fields an edit gives a row; an empty one keeps its value.
struct RowValues {
  std::optional<std::string> priv;
  std::optional<std::int32_t> block, jail;
  std::optional<std::string_view> plevel;
  std::int32_t status = StatusChanged;
};

// The row's new values; nullopt when the edit needs the row's flags and its flag text is
// not a number (the edit is refused then).
std::optional<RowValues> ValuesOfEdit(const AccountTable& table, RowId row, const RowEdit& edit);
// Whether the values differ from the row's in any field but the status.
bool ChangesRow(const AccountTable& table, RowId row, const RowValues& values);
// Into the current row, putting it in edit state; the caller posts.
void StoreInCurrent(AccountTable& table, const RowValues& values);

// A change of many rows, planned before anything is stored so the operator sees each
// row's old and new values first.
struct BulkPlan {
  RowEdit edit;
  std::vector<RowId> rows;  // rows that change, in the order given
  std::vector<RowValues> values;
  std::vector<RowId> unchanged;   // already so
  std::vector<RowId> badFlags;    // flag text not a number
  std::vector<RowId> unwritable;  // a new value would hold a line end or a NUL byte
};
BulkPlan PlanBulkChange(const AccountTable& table, const std::vector<RowId>& rows,
                        const RowEdit& edit);
// Stores exactly the planned values and commits them with one AccountTable::PostRows.
void ApplyBulkChange(AccountTable& table, const BulkPlan& plan);

// The update file's key the edit is about ("BLOCK", "JAIL", "PRIV", "PLEVEL") and a row's
// value under it as the preview shows it.
const char* KeyOfEdit(RowEdit::Kind kind);
std::string ShownValue(const AccountTable& table, RowId row, RowEdit::Kind kind);
std::string ShownValue(const RowValues& values, RowEdit::Kind kind);

// How many planned rows go from one value to another, in the order first met.
struct Transition {
  std::string from, to;
  int count = 0;
};
std::vector<Transition> TransitionsOf(const AccountTable& table, const BulkPlan& plan);

}  // namespace kov
