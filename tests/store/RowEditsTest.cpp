// The edit rules the editor panel and bulk changes share, and the table's path for changing
// many rows at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StoreTestUtil.h"
#include "store/AccountTable.h"
#include "store/RowEdits.h"

namespace kov {
namespace {

using test::RowNamed;

void Add(AccountTable& t, const char* name, const char* priv, int block, int jail, int status,
         const char* level = "Player") {
  t.Append();
  t.SetText(dbaccount, name);
  t.SetText(dbpriv, priv);
  t.SetText(dbplevel, level);
  t.SetInt(dbblock, block);
  t.SetInt(dbjail, jail);
  t.SetInt(dbstatus, status);
  t.Post();
}

RowEdit Level(int index) {
  RowEdit e{RowEdit::Kind::Level};
  e.level = index;
  return e;
}

struct EditCase {
  const char* name;
  const char* priv;
  int block, jail, status;
  RowEdit edit;
  // Expected: "" for a refused edit, else priv|block|jail|plevel|status.
  const char* after;
};

class EditRules : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditRules, AsTheEditorAppliesThem) {
  const EditCase& c = GetParam();
  AccountTable t;
  Add(t, "a", c.priv, c.block, c.jail, c.status);
  const RowId row = t.Current();
  const auto v = ValuesOfEdit(t, row, c.edit);
  if (std::string(c.after).empty()) {
    EXPECT_FALSE(v);
    return;
  }
  ASSERT_TRUE(v);
  StoreInCurrent(t, *v);
  t.Post();
  const std::string got = std::string(t.Text(row, dbpriv)) + "|" + t.DisplayText(row, dbblock) +
                          "|" + t.DisplayText(row, dbjail) + "|" +
                          std::string(t.Text(row, dbplevel)) + "|" + t.DisplayText(row, dbstatus);
  EXPECT_EQ(got, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    RowEdits, EditRules,
    ::testing::Values(
        EditCase{"BlockSetsFieldAndBit",
                 "$0",
                 0,
                 0,
                 0,
                 {RowEdit::Kind::Blocked, true},
                 "$02000|1|0|Player|1"},
        EditCase{"UnblockClearsBoth",
                 "$2002",
                 1,
                 0,
                 0,
                 {RowEdit::Kind::Blocked, false},
                 "$00002|0|0|Player|1"},
        EditCase{"JailSetsFieldAndBit",
                 "$1",
                 0,
                 0,
                 0,
                 {RowEdit::Kind::Jailed, true},
                 "$00801|0|1|Player|1"},
        EditCase{"ReleaseClearsBoth",
                 "$800",
                 0,
                 1,
                 0,
                 {RowEdit::Kind::Jailed, false},
                 "$00000|0|0|Player|1"},
        EditCase{"FlagOnANewRowMarksItChanged",
                 "$0",
                 0,
                 0,
                 2,
                 {RowEdit::Kind::Flag, true, 0x2},
                 "$00002|0|0|Player|1"},
        EditCase{"FlagCleared",
                 "$0003",
                 0,
                 0,
                 0,
                 {RowEdit::Kind::Flag, false, 0x1},
                 "$00002|0|0|Player|1"},
        EditCase{"LevelMarksAStoredRowChanged", "$0", 0, 0, 0, Level(4), "$0|0|0|GM|1"},
        EditCase{"LevelKeepsANewRowNew", "$0", 0, 0, 2, Level(7), "$0|0|0|Owner|2"},
        EditCase{"LevelNeedsNoValidFlags", "junk", 0, 0, 0, Level(0), "junk|0|0|Guest|1"},
        EditCase{"BadFlagTextRefusesAToggle", "12", 0, 0, 0, {RowEdit::Kind::Blocked, true}, ""},
        EditCase{"EmptyFlagTextRefusesAFlag", "", 0, 0, 0, {RowEdit::Kind::Flag, true, 1}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BulkPlan, SortsRowsIntoChangedUnchangedAndRefused) {
  AccountTable t;
  Add(t, "a", "$0", 0, 0, 0);
  Add(t, "b", "$2000", 1, 0, 0);  // already blocked
  Add(t, "c", "bad", 0, 0, 0);
  Add(t, "d", "$2000", 0, 0, 2);  // the bit without the field
  Add(t, "e", "$0", 0, 0, 1);
  const std::vector<RowId> rows = {RowNamed(t, "a"), RowNamed(t, "b"), RowNamed(t, "c"),
                                   RowNamed(t, "d"), RowNamed(t, "e")};
  const BulkPlan plan = PlanBulkChange(t, rows, {RowEdit::Kind::Blocked, true});
  EXPECT_EQ(plan.rows, (std::vector<RowId>{rows[0], rows[3], rows[4]}));
  EXPECT_EQ(plan.unchanged, std::vector<RowId>{rows[1]});
  EXPECT_EQ(plan.badFlags, std::vector<RowId>{rows[2]});
  const auto transitions = TransitionsOf(t, plan);
  ASSERT_EQ(transitions.size(), 1u);
  EXPECT_EQ(transitions[0].from, "0");
  EXPECT_EQ(transitions[0].to, "1");
  EXPECT_EQ(transitions[0].count, 3);
  EXPECT_STREQ(KeyOfEdit(plan.edit.kind), "BLOCK");
  // Planning stores nothing.
  EXPECT_EQ(t.IntOr0(rows[0], dbblock), 0);
  EXPECT_EQ(t.IntOr0(rows[0], dbstatus), 0);
}

TEST(BulkPlan, FlagTransitionsGroupedByValue) {
  AccountTable t;
  Add(t, "a", "$0", 0, 0, 0);
  Add(t, "b", "$00000", 0, 0, 0);
  Add(t, "c", "$8", 0, 0, 0);
  const BulkPlan plan = PlanBulkChange(t, {RowNamed(t, "a"), RowNamed(t, "b"), RowNamed(t, "c")},
                                       {RowEdit::Kind::Flag, true, 0x2});
  const auto tr = TransitionsOf(t, plan);
  ASSERT_EQ(tr.size(), 3u);  // "$0" and "$00000" are shown as they are
  EXPECT_EQ(tr[0].from + ">" + tr[0].to, "$0>$00002");
  EXPECT_EQ(tr[2].from + ">" + tr[2].to, "$8>$0000A");
}

struct Recorder : AccountTable::Listener {
  int posts = 0, resets = 0, rowChanges = 0, spans = 0, currents = 0;
  int first = -1, last = -1;
  void AfterPost(RowId) override { ++posts; }
  void ViewReset() override { ++resets; }
  void ViewRowChanged(int) override { ++rowChanges; }
  void ViewRowsChanged(int f, int l) override {
    ++spans;
    first = f;
    last = l;
  }
  void CurrentChanged() override { ++currents; }
};

TEST(BulkApply, OneSpanOfChangesWhenTheViewKeepsItsRows) {
  AccountTable t;
  for (const char* n : {"a", "b", "c", "d", "e"}) Add(t, n, "$0", 0, 0, 0);
  t.SetCurrent(RowNamed(t, "a"));
  t.SetWritten(RowNamed(t, "c"), true);
  Recorder rec;
  t.AddListener(&rec);
  const BulkPlan plan =
      PlanBulkChange(t, {RowNamed(t, "b"), RowNamed(t, "d")}, {RowEdit::Kind::Jailed, true});
  ApplyBulkChange(t, plan);
  EXPECT_EQ(rec.posts, 2);
  EXPECT_EQ(rec.spans, 1);
  EXPECT_EQ(rec.first, 1);
  EXPECT_EQ(rec.last, 3);
  EXPECT_EQ(rec.rowChanges, 0);
  EXPECT_EQ(rec.resets, 0);
  EXPECT_EQ(rec.currents, 0);  // the cursor stayed where it was
  EXPECT_EQ(t.Current(), RowNamed(t, "a"));
  EXPECT_EQ(t.IntOr0(RowNamed(t, "d"), dbjail), 1);
  EXPECT_EQ(t.Text(RowNamed(t, "d"), dbpriv), "$00800");
  EXPECT_EQ(t.IntOr0(RowNamed(t, "d"), dbstatus), StatusChanged);
  EXPECT_EQ(t.IntOr0(RowNamed(t, "c"), dbstatus), StatusStored);
  EXPECT_TRUE(t.IsWritten(RowNamed(t, "c")));
  t.RemoveListener(&rec);
}

TEST(BulkApply, RowsLeavingTheFilterResetTheViewOnceAndClearWritten) {
  AccountTable t;
  for (const char* n : {"a", "b", "c", "d"}) Add(t, n, "$0", 0, 0, 1);
  // "Not blocked"
  t.SetFilter([](const AccountTable& tt, RowId r) { return tt.IntOr0(r, dbblock) != 1; });
  t.SetFiltered(true);
  t.SetCurrent(RowNamed(t, "b"));
  t.SetWritten(RowNamed(t, "b"), true);
  Recorder rec;
  t.AddListener(&rec);
  ApplyBulkChange(
      t, PlanBulkChange(t, {RowNamed(t, "b"), RowNamed(t, "c")}, {RowEdit::Kind::Blocked, true}));
  EXPECT_EQ(rec.resets, 1);
  EXPECT_EQ(rec.spans, 0);
  EXPECT_EQ(t.ViewCount(), 2);
  EXPECT_EQ(t.Text(t.Current(), dbaccount), "a");  // the current row left: the first is current
  EXPECT_FALSE(t.IsWritten(RowNamed(t, "b")));     // the file lacks this change
  t.RemoveListener(&rec);
}

TEST(BulkApply, PendingEditOfTheCurrentRowIsCommittedFirst) {
  AccountTable t;
  for (const char* n : {"a", "b"}) Add(t, n, "$0", 0, 0, 0);
  t.SetCurrent(RowNamed(t, "a"));
  t.Edit();
  t.SetText(dbemail, "x@y");
  ApplyBulkChange(t, PlanBulkChange(t, {RowNamed(t, "a"), RowNamed(t, "b")}, Level(2)));
  EXPECT_EQ(t.GetState(), AccountTable::State::Browse);
  EXPECT_EQ(t.Text(RowNamed(t, "a"), dbemail), "x@y");
  EXPECT_EQ(t.Text(RowNamed(t, "a"), dbplevel), "Counselor");
}

}  // namespace
}  // namespace kov
