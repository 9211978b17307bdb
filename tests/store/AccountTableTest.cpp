#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StoreTestUtil.h"
#include "store/AccountTable.h"

namespace kov {
namespace {

using test::RowNamed;

void Add(AccountTable& t, const char* name, const char* level = "Player", int block = 0) {
  t.Append();
  t.SetText(dbaccount, name);
  t.SetText(dbplevel, level);
  t.SetInt(dbblock, block);
  t.SetInt(dbstatus, 0);
  t.Post();
}

struct Recorder : AccountTable::Listener {
  int posts = 0;
  int resets = 0;
  void AfterPost(RowId) override { ++posts; }
  void ViewReset() override { ++resets; }
};

TEST(PLevelCodeToName, OnlyTheEightCodes) {
  EXPECT_EQ(PLevelCodeToName("4"), "GM");
  EXPECT_EQ(PLevelCodeToName("0"), "Guest");
  EXPECT_EQ(PLevelCodeToName("7"), "Owner");
  for (const char* same : {"9", "04", " 4", "GM", ""}) EXPECT_EQ(PLevelCodeToName(same), same);
}

TEST(AccountTable, CapacitiesAndEmptyState) {
  AccountTable t;
  t.Append();
  t.SetText(dbcommend, std::string(150, 'x'));
  t.SetText(dbpriv, "$" + std::string(25, 'F'));
  t.Post();
  EXPECT_EQ(t.Text(dbcommend).size(), 100u);
  EXPECT_EQ(t.Text(dbpriv).size(), 20u);
  EXPECT_FALSE(t.Int(dbcounter).has_value());  // never set: empty, not 0
  EXPECT_EQ(t.DisplayText(t.Current(), dbcounter), "");
}

TEST(AccountTable, CharacterCountIgnoresGaps) {
  AccountTable t;
  t.Append();
  t.SetText(dbcharuid2, "0x2");
  t.SetText(dbcharuid5, "0x5");
  t.Post();
  EXPECT_EQ(t.CharacterCount(t.Current()), 2);
}

TEST(AccountTable, EveryPostNotifies) {
  AccountTable t;
  Recorder rec;
  t.AddListener(&rec);
  Add(t, "a");
  t.Edit();
  t.SetText(dbpasswort, "x");
  t.Post();
  t.Append();  // left in insert state ...
  t.SetText(dbaccount, "b");
  t.First();  // ... moving commits it
  EXPECT_EQ(rec.posts, 3);
  t.RemoveListener(&rec);
}

// Locate answers the same whether it scans the names' hashes (the first lookups) or goes
// through the index built once enough lookups have come.
class Locate : public ::testing::TestWithParam<bool> {
 protected:
  // Lookups of a name nobody has until the index is there, when the case wants it.
  void Ready(AccountTable& t) {
    if (!GetParam()) return;
    const RowId current = t.Current();
    for (int i = 0; i < 1000 && !t.NameIndexBuilt(); ++i) t.Locate("nobody");
    ASSERT_TRUE(t.NameIndexBuilt());
    ASSERT_EQ(t.Current(), current);
  }
};

TEST_P(Locate, ByExactNameWithinTheView) {
  AccountTable t;
  for (const char* n : {"Bobby", "bob", "testing", "test", "bob"}) Add(t, n);
  t.SetCurrent(RowNamed(t, "Bobby"));
  Ready(t);
  EXPECT_FALSE(t.Locate("Bob"));
  EXPECT_EQ(t.Current(), RowNamed(t, "Bobby"));  // unchanged when not found
  EXPECT_TRUE(t.Locate("bob"));
  EXPECT_EQ(t.Current(), RowNamed(t, "bob", 0));  // the first from the top
  t.SetCurrent(RowNamed(t, "bob", 1));
  EXPECT_TRUE(t.Locate("bob"));
  EXPECT_EQ(t.Current(), RowNamed(t, "bob", 1));  // the current row when so named
  EXPECT_TRUE(t.Locate("test"));
  EXPECT_EQ(t.Text(dbaccount), "test");
  EXPECT_FALSE(t.Locate(""));
  // Hidden rows are not found; renamed and deleted rows leave the index.
  t.SetFilter([](const AccountTable& tt, RowId r) { return tt.Text(r, dbaccount) != "test"; });
  t.SetFiltered(true);
  EXPECT_FALSE(t.Locate("test"));
  t.SetFiltered(false);
  ASSERT_TRUE(t.Locate("testing"));
  t.SetText(dbaccount, "renamed");
  t.Post();
  EXPECT_FALSE(t.Locate("testing"));
  EXPECT_TRUE(t.Locate("renamed"));
  t.Delete();
  EXPECT_FALSE(t.Locate("renamed"));
  EXPECT_TRUE(t.Locate("test"));
  EXPECT_EQ(t.NameIndexBuilt(), GetParam());
}

TEST_P(Locate, FirstFromTheTopFollowsTheSortAndNewRows) {
  AccountTable t;
  for (const char* n : {"x", "a", "x", "b"}) Add(t, n);
  const RowId first = RowNamed(t, "x", 0), second = RowNamed(t, "x", 1);
  t.SetCurrent(RowNamed(t, "a"));
  Ready(t);
  // Sorted so that the later x stands on top.
  t.SetOrder({second, RowNamed(t, "a"), first, RowNamed(t, "b")});
  t.SetCurrent(RowNamed(t, "b"));
  ASSERT_TRUE(t.Locate("x"));
  EXPECT_EQ(t.Current(), second);
  // A row appended unnamed and named afterwards, a name given back, a name taken away.
  Add(t, "new");
  t.SetCurrent(RowNamed(t, "b"));
  ASSERT_TRUE(t.Locate("new"));
  t.SetText(dbaccount, "");
  t.Post();
  t.SetCurrent(RowNamed(t, "b"));
  EXPECT_FALSE(t.Locate("new"));
  ASSERT_TRUE(t.Locate("a"));
  t.SetText(dbaccount, "new");
  t.SetText(dbaccount, "a");
  t.Post();
  t.SetCurrent(RowNamed(t, "b"));
  EXPECT_TRUE(t.Locate("a"));
  EXPECT_FALSE(t.Locate("new"));
}

TEST_P(Locate, ManyRowsAddedAfterTheFirstLookups) {
  // Enough rows after the index was built that it has to grow, twice over.
  AccountTable t;
  Add(t, "first");
  Ready(t);
  for (int i = 0; i < 3000; ++i) Add(t, ("n" + std::to_string(i)).c_str());
  for (const int i : {0, 1, 1499, 2999}) {
    ASSERT_TRUE(t.Locate("n" + std::to_string(i))) << i;
    EXPECT_EQ(t.Text(dbaccount), "n" + std::to_string(i));
  }
  EXPECT_TRUE(t.Locate("first"));
  EXPECT_FALSE(t.Locate("n3000"));
  t.Empty();
  Add(t, "again");
  EXPECT_TRUE(t.Locate("again"));
  EXPECT_FALSE(t.Locate("first"));
}

INSTANTIATE_TEST_SUITE_P(AccountTable, Locate, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ThroughTheIndex" : "ByScanning";
                         });

TEST(AccountTable, StoredRowIsJudgedAgainAtOnce) {
  AccountTable t;
  for (const char* n : {"a", "b", "c"}) Add(t, n);
  t.SetFilter([](const AccountTable& tt, RowId r) { return tt.IntOr0(r, dbblock) == 0; });
  t.SetFiltered(true);
  t.SetCurrent(RowNamed(t, "b"));
  t.Edit();
  t.SetInt(dbblock, 1);
  t.Post();
  EXPECT_EQ(t.ViewCount(), 2);
  EXPECT_EQ(t.Text(dbaccount), "c");  // the next visible row
  t.Edit();
  t.SetInt(dbblock, 1);
  t.Post();
  EXPECT_EQ(t.Text(dbaccount), "a");  // no next row: the previous one
  t.Edit();
  t.SetInt(dbblock, 1);
  t.Post();
  EXPECT_TRUE(t.IsEmpty());
  EXPECT_EQ(t.Current(), kNoRow);
  EXPECT_EQ(t.RowCount(), 3);
}

// A filter that keeps the same rows (a search typed further that finds the same accounts)
// resets nothing; one that changes them, or only their number, does.
TEST(AccountTable, RefilterResetsTheViewOnlyWhenItsRowsChange) {
  AccountTable t;
  for (const char* n : {"anna", "annabel", "bob", "hanna"}) Add(t, n);
  std::string needle;
  t.SetFilter([&](const AccountTable& tt, RowId r) {
    return tt.Text(r, dbaccount).find(needle) != std::string_view::npos;
  });
  Recorder rec;
  t.AddListener(&rec);
  const auto names = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < t.ViewCount(); ++i) out.emplace_back(t.Text(t.ViewRow(i), dbaccount));
    return out;
  };
  needle = "nn";
  t.SetFiltered(true);
  EXPECT_EQ(rec.resets, 1);
  needle = "nna";
  t.RefilterNarrowing();  // the same three rows
  EXPECT_EQ(rec.resets, 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"anna", "annabel", "hanna"}));
  needle = "anna";
  t.RefilterNarrowing();  // still the same
  t.Refilter();
  EXPECT_EQ(rec.resets, 1);
  needle = "annab";
  t.RefilterNarrowing();
  EXPECT_EQ(rec.resets, 2);
  EXPECT_EQ(names(), (std::vector<std::string>{"annabel"}));
  needle = "";
  t.Refilter();
  EXPECT_EQ(rec.resets, 3);
  EXPECT_EQ(t.ViewCount(), 4);
  t.RemoveListener(&rec);
}

TEST(AccountTable, StableSortReordersOnceAndWalkFollowsTheView) {
  AccountTable t;
  Add(t, "b", "GM");
  Add(t, "a", "Player");
  Add(t, "c", "GM");
  t.Sort([&](RowId x, RowId y) { return t.Text(x, dbplevel) < t.Text(y, dbplevel); });
  std::string names;
  for (t.First(); !t.Eof(); t.Next()) names += t.Text(dbaccount);
  EXPECT_EQ(names, "bca");
  Add(t, "d", "Admin");  // later rows keep their places: at the end
  EXPECT_EQ(t.Text(t.Order().back(), dbaccount), "d");
}

TEST(AccountTable, MarksInViewOrder) {
  AccountTable t;
  for (const char* n : {"a", "b", "c"}) Add(t, n);
  t.SetMarked(RowNamed(t, "c"), true);
  t.SetMarked(RowNamed(t, "a"), true);
  const auto marked = t.MarkedRows();
  ASSERT_EQ(marked.size(), 2u);
  EXPECT_EQ(t.Text(marked[0], dbaccount), "a");
  t.ClearMarks();
  EXPECT_TRUE(t.MarkedRows().empty());
}

}  // namespace
}  // namespace kov
