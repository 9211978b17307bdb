#include <gtest/gtest.h>

#include "StoreTestUtil.h"
#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "store/ReadAcct.h"

namespace kov {
namespace {

using test::RowNamed;
using test::TempDir;

ReadOptions Today() {
  ReadOptions o;
  o.now = *Clock::FromIso("2026-12-09");
  return o;
}

struct ReadCase {
  const char* name;
  const char* file;
  const char* account;  // the row to look at
  Field field;
  const char* expected;
};

class AccountFileField : public ::testing::TestWithParam<ReadCase> {};

TEST_P(AccountFileField, HoldsWhatTheFileSays) {
  const ReadCase& c = GetParam();
  TempDir dir;
  dir.Write("a.scp", c.file);
  AccountTable t;
  ASSERT_TRUE(ReadAccountFile(t, dir.File("a.scp"), Today()).ok());
  const RowId r = RowNamed(t, c.account);
  ASSERT_NE(r, kNoRow) << c.name;
  EXPECT_EQ(t.DisplayText(r, c.field), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, AccountFileField,
    ::testing::Values(
        ReadCase{"name", "[admin]\r\n", "admin", dbaccount, "admin"},
        ReadCase{"name with blank after bracket", "[admin] \r\n", "admin]", dbaccount, "admin]"},
        ReadCase{"no closing bracket", "[admin\n", "admi", dbaccount, "admi"},
        ReadCase{"lower-case key ignored", "[a]\nchatname=Bob\n", "a", dbchatname, ""},
        ReadCase{"separator not tested", "[a]\nCHATNAME = Bob\n", "a", dbchatname, "= Bob"},
        ReadCase{"EOF password", "[a]\nPASSWORD=[EOF]\n", "a", dbpasswort,
                 "WARNING [EOF] PASSWORT"},
        ReadCase{"comment in quotes", "[a]\nTAG.COMMENT=\"hello\"\n", "a", dbcommend, "hello"},
        ReadCase{"comment one quote", "[a]\nTAG.COMMENT=\"\n", "a", dbcommend, ""},
        ReadCase{"empty comment keeps earlier", "[a]\nTAG.COMMENT=x\nTAG.COMMENT=\n", "a",
                 dbcommend, "x"},
        ReadCase{"tag email keeps quotes", "[a]\nTAG.EMAIL=\"a@b.c\"\n", "a", dbemail, "\"a@b.c\""},
        ReadCase{"later email wins", "[a]\nTAG.EMAIL=x\nEMAIL=y\n", "a", dbemail, "y"},
        ReadCase{"plevel code", "[a]\nPLEVEL=4\n", "a", dbplevel, "GM"},
        ReadCase{"plevel other", "[a]\nPLEVEL=10\n", "a", dbplevel, "10"},
        ReadCase{"plevel default", "[a]\n", "a", dbplevel, "Player"},
        ReadCase{"priv", "[a]\nPRIV=0200\n", "a", dbpriv, "$0200"},
        ReadCase{"PRIVATE is a PRIV line", "[a]\nPRIVATE=1\n", "a", dbpriv, "$TE=1"},
        ReadCase{"priv default", "[a]\n", "a", dbpriv, "$0"},
        ReadCase{"priv cut to 20", "[a]\nPRIV=0123456789ABCDEF0123\n", "a", dbpriv,
                 "$0123456789ABCDEF012"},
        ReadCase{"comment cut to 100",
                 "[a]\nTAG.COMMENT="
                 "ccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc"
                 "cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc\n",
                 "a", dbcommend,
                 "ccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc"
                 "ccccccccccccccccccc"},
        ReadCase{"block value", "[a]\nBLOCK=2\n", "a", dbblock, "2"},
        ReadCase{"block hex", "[a]\nBLOCK=$1\n", "a", dbblock, "1"},
        ReadCase{"sixth charuid ignored",
                 "[a]\nCHARUID=1\nCHARUID=2\nCHARUID=3\nCHARUID=4\nCHARUID=5\nCHARUID=6\n", "a",
                 dbcharuid5, "5"},
        ReadCase{"days today", "[a]\nLASTCONNECTDATE=2026-12-09 10:22\n", "a", dbcounter, "0"},
        ReadCase{"days past, slashes", "[a]\nLASTCONNECTDATE=2026/12/01\n", "a", dbcounter, "8"},
        ReadCase{"days without date", "[a]\n", "a", dbcounter, "-1"},
        ReadCase{"CR only line ends", "[a]\rCHATNAME=x\r[b]\r", "a", dbchatname, "x"},
        ReadCase{"no line end at the end", "[a]\nCHATNAME=x", "a", dbchatname, "x"},
        ReadCase{"eof in any case continues the row", "[a]\n[eOf]\nCHATNAME=after\n", "a",
                 dbchatname, "after"}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(ReadAccountFile, RowsAndStopRules) {
  TempDir dir;
  struct Case {
    std::string file;
    int rows;
    ReadResult::Status status;
    int line;
  } cases[] = {
      {"[a]\r\n[EOF]\r\n", 1, ReadResult::Status::Ok, 0},
      {"[a]\n[a]\n", 2, ReadResult::Status::Ok, 0},  // sections are not merged
      {"// only a comment\n", 0, ReadResult::Status::Ok, 0},
      {std::string("[a]\n\0[b]\n", 10), 1, ReadResult::Status::Ok, 0},  // NUL ends the text
      {"[a]\n[b]\nBLOCK=\n[c]\n", 2, ReadResult::Status::ConversionError, 3},
      {"[a]\nJAIL=x1\n", 1, ReadResult::Status::ConversionError, 2},
      {"[a]\nLASTCONNECTDATE=2026-1\n", 1, ReadResult::Status::ConversionError, 2},
      {"[a]\nLASTCONNECTDATE=2026-13-01\n", 1, ReadResult::Status::ConversionError, 2},
      {"", 0, ReadResult::Status::Ok, 0},
  };
  for (const auto& c : cases) {
    dir.Write("a.scp", c.file);
    AccountTable t;
    const ReadResult r = ReadAccountFile(t, dir.File("a.scp"), Today());
    EXPECT_EQ(t.RowCount(), c.rows) << c.file;
    EXPECT_EQ(r.status, c.status) << c.file;
    EXPECT_EQ(r.lineNumber, c.line) << c.file;
  }
  AccountTable t;
  EXPECT_EQ(ReadAccountFile(t, dir.File("missing.scp")).status, ReadResult::Status::FileNotFound);
}

TEST(ReadAccountFile, ConversionErrorQuotesTheText) {
  TempDir dir;
  dir.Write("a.scp", "[a]\nBLOCK=yes\n");
  AccountTable t;
  const ReadResult r = ReadAccountFile(t, dir.File("a.scp"));
  EXPECT_EQ(r.text, "yes");
  EXPECT_EQ(r.kind, "integer");
}

TEST(ReadAccountFile, AppendsAfterExistingRowsAndMakesFirstCurrent) {
  TempDir dir;
  dir.Write("a.scp", "[x]\n[y]\n");
  AccountTable t;
  ReadAccountFile(t, dir.File("a.scp"));
  ReadAccountFile(t, dir.File("a.scp"));
  ASSERT_EQ(t.RowCount(), 4);
  EXPECT_EQ(t.Text(t.Order()[2], dbaccount), "x");
  EXPECT_EQ(t.CurrentIndex(), 0);
}

TEST(ReadAccountFile, HugeLineAndBinaryDoNotHurt) {
  TempDir dir;
  std::string big = "[a]\nTAG.COMMENT=" + std::string(10 << 20, 'z') + "\n[b]\n";
  for (int i = 0; i < 4096; ++i) big += static_cast<char>((i * 37) % 255 + 1);
  dir.Write("a.scp", big);
  AccountTable t;
  ReadAccountFile(t, dir.File("a.scp"));
  ASSERT_GE(t.RowCount(), 2);
  EXPECT_EQ(t.Text(RowNamed(t, "a"), dbcommend).size(), 100u);
}

// --- update file ----------------------------------------------------------------------

class UpdateFile : public ::testing::Test {
 protected:
  void Load(const std::string& accounts, const std::string& updates) {
    if (!accounts.empty()) dir.Write("VornexAccu.scp", accounts);
    dir.Write("VornexAcct.scp", updates);
    result = LoadAccountFolder(t, dir.Path(), Today());
  }
  std::string At(const char* name, Field f, int nth = 0) {
    return t.DisplayText(RowNamed(t, name, nth), f);
  }
  TempDir dir;
  AccountTable t;
  LoadResult result;
};

TEST_F(UpdateFile, ExistingRowUpdatedKeepsConnectionData) {
  Load("[admin]\nPASSWORD=old\nCHARUID=0x1\nLASTCONNECTDATE=2026-12-01\nLASTIP=1.2.3.4\n",
       "//created\n[admin]\nPASSWORD=new\nLASTIP=9.9.9.9\n");
  ASSERT_EQ(t.RowCount(), 1);
  EXPECT_EQ(At("admin", dbpasswort), "new");
  EXPECT_EQ(At("admin", dbstatus), "1");
  EXPECT_EQ(At("admin", dbcharuid1), "0x1");
  EXPECT_EQ(At("admin", dbcounter), "8");
  EXPECT_EQ(At("admin", dblastip), "1.2.3.4");
}

TEST_F(UpdateFile, NewAccountAndDefaults) {
  Load("[a]\n", "[b]\nPLEVEL=Developer\n[c]\nPLEVEL=5\n[d]\n");
  EXPECT_EQ(At("b", dbstatus), "2");
  EXPECT_EQ(At("b", dbplevel), "Developer");
  EXPECT_EQ(At("c", dbplevel), "Dev");
  EXPECT_EQ(At("d", dbplevel), "Player");
  EXPECT_EQ(At("d", dbcounter), "-1");
}

// The same rules for a short update file and for one long enough that its sections are
// found through the table's name index: the sections that matter come after 300 others.
class UpdateFileSections : public UpdateFile, public ::testing::WithParamInterface<int> {
 protected:
  std::string Filler() const {
    std::string s;
    for (int i = 0; i < GetParam(); ++i) s += "[filler" + std::to_string(i) + "]\n";
    return s;
  }
};

TEST_P(UpdateFileSections, ExactNameOnly) {
  // bobby ahead of bob: the section for bob updates bob, never bobby.
  Load("[bobby]\n[bob]\n[Green12]\n[green]\n",
       Filler() + "[bob]\nPASSWORD=p1\n[green]\nPASSWORD=p2\n[Bob]\nPASSWORD=p3\n");
  EXPECT_EQ(t.RowCount(), 5 + GetParam());
  EXPECT_EQ(At("bob", dbpasswort), "p1");
  EXPECT_EQ(At("bob", dbstatus), "1");
  EXPECT_EQ(At("bobby", dbstatus), "0");
  EXPECT_EQ(At("green", dbpasswort), "p2");
  EXPECT_EQ(At("Green12", dbstatus), "0");
  EXPECT_EQ(At("Bob", dbstatus), "2");  // letter case matters: a second row Bob
  EXPECT_EQ(t.NameIndexBuilt(), GetParam() > 0);
}

TEST_P(UpdateFileSections, FirstRowOfTheNameWins) {
  // Twice the same account in the account file: its section updates the first row only.
  Load("[dup]\nPASSWORD=a\n[dup]\nPASSWORD=b\n", Filler() + "[dup]\nPASSWORD=c\n");
  EXPECT_EQ(At("dup", dbpasswort, 0), "c");
  EXPECT_EQ(At("dup", dbstatus, 0), "1");
  EXPECT_EQ(At("dup", dbpasswort, 1), "b");
  EXPECT_EQ(At("dup", dbstatus, 1), "0");
}

TEST_P(UpdateFileSections, NameLongerThanTheField) {
  // The account file's row holds the name's first 100 bytes: a section of those finds it,
  // a section of the whole name does not and adds a row.
  const std::string whole(120, 'L'), held = whole.substr(0, 100);
  Load("[a]\n[" + whole + "]\n",
       Filler() + "[" + held + "]\nPASSWORD=h\n[" + whole + "]\nPASSWORD=w\n");
  EXPECT_EQ(At(held.c_str(), dbpasswort, 0), "h");
  EXPECT_EQ(At(held.c_str(), dbstatus, 0), "1");
  EXPECT_EQ(At(held.c_str(), dbpasswort, 1), "w");
  EXPECT_EQ(At(held.c_str(), dbstatus, 1), "2");
}

INSTANTIATE_TEST_SUITE_P(ReadAccountUpdateFile, UpdateFileSections, ::testing::Values(0, 300));

TEST_F(UpdateFile, CommentKeptAsReadAndRepeatedSections) {
  Load("[a]\nTAG.COMMENT=old\n[b]\nTAG.COMMENT=keep\n",
       "[a]\nTAG.COMMENT=\n[b]\nTAG.COMMENT=\"q\"\n[n]\nPASSWORD=1\n[n]\nPASSWORD=2\n[a]\nBLOCK="
       "1\n");
  EXPECT_EQ(At("a", dbcommend), "");
  EXPECT_EQ(At("b", dbcommend), "\"q\"");
  EXPECT_EQ(At("a", dbblock), "1");
  EXPECT_EQ(t.RowCount(), 3);
  EXPECT_EQ(At("n", dbpasswort), "2");
  EXPECT_EQ(At("n", dbstatus), "1");  // added by the first section, found by the second
}

TEST_F(UpdateFile, OnlyUpdateFileAndEof) {
  Load("", "[x]\n[EOF]\n[eof]\n");
  EXPECT_FALSE(result.accountFileFound);
  EXPECT_EQ(t.RowCount(), 1);
  EXPECT_EQ(At("x", dbstatus), "2");
}

TEST_F(UpdateFile, ErrorStopsButKeepsRowsRead) {
  Load("[a]\n", "[b]\n[c]\nJAIL=zz\n[d]\n");
  EXPECT_FALSE(result.complete());
  EXPECT_EQ(result.update.lineNumber, 3);
  EXPECT_NE(RowNamed(t, "b"), kNoRow);
  EXPECT_EQ(RowNamed(t, "d"), kNoRow);
}

// Found by the randomized histories (tests/protocol): a reload that read the old account
// file, then the update file the server had just emptied, showed the accounts without the
// updates, and a later save wrote the old values back.
TEST_F(UpdateFile, TakeOverBetweenTheTwoReadsIsNotTorn) {
  dir.Write("VornexAccu.scp", "[a]\nPASSWORD=old\n[b]\nPASSWORD=b\n");
  dir.Write("VornexAcct.scp", "[a]\nPASSWORD=new\n");
  ReadOptions options = Today();
  int takeOvers = 0;
  options.progress = [&](std::uint64_t, std::uint64_t) {
    if (takeOvers++) return;
    // The server, as the account file's read begins: its accounts hold the update, then
    // the update file is emptied.
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir.File("VornexAccu.scp"),
                                    "[a]\nPASSWORD=new\n[b]\nPASSWORD=b\n", error));
    ASSERT_TRUE(WriteFileAtomically(dir.File("VornexAcct.scp"), "", error));
  };
  result = LoadAccountFolder(t, dir.Path(), options);
  ASSERT_TRUE(result.complete());
  ASSERT_EQ(t.RowCount(), 2);
  EXPECT_EQ(At("a", dbpasswort), "new");
  EXPECT_EQ(At("b", dbpasswort), "b");
}

TEST(ParseInteger, AcceptsWhatTheToolkitAccepts) {
  EXPECT_EQ(ParseInteger("  12"), 12);
  EXPECT_EQ(ParseInteger("-3"), -3);
  EXPECT_EQ(ParseInteger("$ff"), 255);
  EXPECT_EQ(ParseInteger("0x10"), 16);
  EXPECT_EQ(ParseInteger("-$1"), -1);
  EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInteger("-$80000000"), INT32_MIN);  // wraps to itself, no overflow
  EXPECT_EQ(ParseInteger("-0x80000000"), INT32_MIN);
  EXPECT_FALSE(ParseInteger(""));
  EXPECT_FALSE(ParseInteger("1 "));
  EXPECT_FALSE(ParseInteger("2147483648"));
  EXPECT_FALSE(ParseInteger("1.0"));
}

}  // namespace
}  // namespace kov
