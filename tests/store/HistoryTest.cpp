#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "StoreTestUtil.h"
#include "store/History.h"
#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"

namespace kov {
namespace {

using test::RowNamed;
using test::TempDir;
using L = HistoryLog;

HistoryRecord Rec(std::string account, std::string field, std::string oldValue,
                  std::string newValue, bool taken = false) {
  HistoryRecord r;
  r.time = "2024-05-01T12:00:00Z";
  r.user = "op";
  r.shard = "/srv/shard";
  r.account = std::move(account);
  r.action = kHistoryChange;
  r.field = std::move(field);
  r.oldValue = std::move(oldValue);
  r.newValue = std::move(newValue);
  r.takenOver = taken;
  return r;
}

std::string Path(const TempDir& d) { return d.File(kHistoryFileName); }

TEST(History, TextsRoundTripAndPasswordsNeverWritten) {
  TempDir d;
  std::string error;
  const std::vector<HistoryRecord> in = {
      Rec("quote\"back\\slash", "chatname", "line\nbreak\ttab", "Grüße \x01", true),
      Rec("pw", "passwort", "secret-old", "secret-new"),
      Rec("", "email", "", ""),
  };
  ASSERT_TRUE(AppendHistory(Path(d), in, error)) << error;
  const std::string bytes = d.Read(kHistoryFileName);
  EXPECT_EQ(bytes.substr(0, bytes.find('\n')), kHistoryHeader);
  EXPECT_EQ(bytes.find("secret"), std::string::npos);

  L log;
  ASSERT_EQ(log.Load(Path(d)), L::Status::Ok) << log.Error();
  ASSERT_EQ(log.Entries().size(), 3u);
  const L::Entry& a = log.Entries()[0];
  EXPECT_EQ(log.Get(a, L::Account), "quote\"back\\slash");
  EXPECT_EQ(log.Get(a, L::Old), "line\nbreak\ttab");
  EXPECT_EQ(log.Get(a, L::New), "Grüße \x01");
  EXPECT_EQ(log.Get(a, L::User), "op");
  EXPECT_EQ(log.Get(a, L::Shard), "/srv/shard");
  EXPECT_TRUE(a.takenOver);
  const L::Entry& p = log.Entries()[1];
  EXPECT_EQ(log.Get(p, L::Old), "");
  EXPECT_EQ(log.Get(p, L::New), kHistoryPasswordValue);
  EXPECT_FALSE(p.takenOver);
  EXPECT_EQ(log.BadLines(), 0);
  EXPECT_FALSE(log.TornLastLine());

#ifndef _WIN32  // Windows has no group or other bits: the folder's access list decides
  struct stat st {};
  ASSERT_EQ(::stat(Path(d).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

TEST(History, NoFileIsAnEmptyHistory) {
  TempDir d;
  L log;
  EXPECT_EQ(log.Load(Path(d)), L::Status::Ok);
  EXPECT_TRUE(log.Entries().empty());
}

// A power cut leaves a torn last line: every whole line is read, the cut is reported, and the
// next save's lines start on a line of their own.
TEST(History, TornLastLine) {
  TempDir d;
  std::string error;
  ASSERT_TRUE(AppendHistory(Path(d), {Rec("a", "plevel", "Player", "GM")}, error));
  const std::string whole = d.Read(kHistoryFileName);
  const std::string line = HistoryLine(Rec("b", "plevel", "Player", "GM"));
  d.Write(kHistoryFileName, whole + line.substr(0, line.size() / 2));

  L log;
  ASSERT_EQ(log.Load(Path(d)), L::Status::Ok);
  EXPECT_EQ(log.Entries().size(), 1u);
  EXPECT_TRUE(log.TornLastLine());
  EXPECT_EQ(log.BadLines(), 0);

  ASSERT_TRUE(AppendHistory(Path(d), {Rec("c", "plevel", "Player", "GM")}, error));
  ASSERT_EQ(log.Load(Path(d)), L::Status::Ok);
  ASSERT_EQ(log.Entries().size(), 2u);
  EXPECT_EQ(log.Get(log.Entries()[1], L::Account), "c");
  EXPECT_FALSE(log.TornLastLine());
  EXPECT_EQ(log.BadLines(), 1);  // the torn one, now closed
}

TEST(History, GarbageLinesAreSkippedAndCounted) {
  const std::string good = HistoryLine(Rec("a", "plevel", "Player", "GM"));
  const char* garbage[] = {
      "not json",
      "{}",
      "{\"time\":\"x\"}",                                         // no account, no action
      "{\"time\":\"x\",\"account\":\"a\",\"action\":\"change\"",  // unclosed
      "{\"time\":\"x\",\"account\":\"a\",\"action\":\"change\"} trailing",
      "{\"time\":\"x\",\"account\":\"a\\q\",\"action\":\"change\"}",  // bad escape
      "{\"time\":\"x\",\"account\":\"a\\u12\",\"action\":\"change\"}",
      "[1,2,3]",
  };
  TempDir d;
  std::string text = std::string(kHistoryHeader) + "\n" + good;
  for (const char* g : garbage) text += std::string(g) + "\n" + good;
  text += "\n\n";  // empty lines are no records and no garbage
  d.Write(kHistoryFileName, text);
  L log;
  ASSERT_EQ(log.Load(Path(d)), L::Status::Ok);
  EXPECT_EQ(log.Entries().size(), std::size(garbage) + 1);
  EXPECT_EQ(log.BadLines(), static_cast<int>(std::size(garbage)));
  ASSERT_FALSE(log.BadLinePlaces().empty());
  EXPECT_EQ(log.BadLinePlaces()[0], std::string(kHistoryFileName) + ":3");
  EXPECT_FALSE(log.TornLastLine());
}

TEST(History, AFileNotOursIsNeitherReadNorAppendedTo) {
  for (const std::string foreign :
       {std::string("some notes\n"), std::string("{\"kovHistory\":2}\n"),
        std::string("\x1f\x8b\x08\x00", 4)}) {
    TempDir d;
    d.Write(kHistoryFileName, foreign);
    std::string error;
    EXPECT_FALSE(AppendHistory(Path(d), {Rec("a", "plevel", "", "GM")}, error));
    EXPECT_NE(error.find("not a change history"), std::string::npos) << error;
    EXPECT_EQ(d.Read(kHistoryFileName), foreign);
    L log;
    EXPECT_EQ(log.Load(Path(d)), L::Status::NotHistory);
  }
}

// Rotation renames the full file to the next number; reading gives every line in order.
TEST(History, RotationKeepsEveryLineInOrder) {
  TempDir d;
  std::string error;
  const std::uint64_t limit = 700;
  for (int i = 0; i < 20; ++i) {
    std::vector<HistoryRecord> batch;
    for (int k = 0; k < 1 + i % 3; ++k)
      batch.push_back(Rec("acc" + std::to_string(i) + "_" + std::to_string(k), "plevel", "", "GM"));
    ASSERT_TRUE(AppendHistory(Path(d), batch, error, limit)) << error;
  }
  const std::vector<std::string> rotated = RotatedHistoryFiles(Path(d));
  ASSERT_GE(rotated.size(), 3u);
  EXPECT_EQ(rotated[0], d.File(std::string(kHistoryFileName) + ".1"));
  for (const std::string& f : rotated) {
    std::string bytes;
    ASSERT_TRUE(ReadAllBytes(f, bytes));
    EXPECT_EQ(bytes.rfind(kHistoryHeader, 0), 0u) << f;
    EXPECT_EQ(bytes.back(), '\n') << f;
  }
  L log;
  ASSERT_EQ(log.Load(Path(d)), L::Status::Ok);
  std::vector<std::string> names;
  for (const auto& e : log.Entries()) names.emplace_back(log.Get(e, L::Account));
  std::vector<std::string> expected;
  for (int i = 0; i < 20; ++i)
    for (int k = 0; k < 1 + i % 3; ++k)
      expected.push_back("acc" + std::to_string(i) + "_" + std::to_string(k));
  EXPECT_EQ(names, expected);
  EXPECT_EQ(log.BadLines(), 0);
}

// The files are read side by side: entries keep the files' order, escaped texts of every file
// come back whole, bad lines are placed in their file, and only the live file's end is torn.
TEST(History, FilesReadSideBySide) {
  const auto line = [](const char* account, const char* newValue) {
    return HistoryLine(Rec(account, "chatname", "", newValue));
  };
  const std::string header = std::string(kHistoryHeader) + "\n";
  const std::string torn = line("cut", "x");
  const std::string nul =
      std::string("{\"time\":\"x") + '\0' + "\",\"account\":\"n\",\"action\":\"change\"}\n";
  TempDir d;
  d.Write(std::string(kHistoryFileName) + ".1",
          header + line("a1", "plain") + "garbage\n" + line("a2", "quote\"d"));
  d.Write(std::string(kHistoryFileName) + ".2", header + line("b1", "tab\t") + line("b2", "b"));
  d.Write(std::string(kHistoryFileName) + ".3", header + nul + line("c1", "c"));
  d.Write(kHistoryFileName, header + line("d1", "back\\slash") + torn.substr(0, 20));

  L log;
  ASSERT_EQ(log.Load(Path(d)), L::Status::Ok) << log.Error();
  std::vector<std::string> got;
  for (const auto& e : log.Entries())
    got.push_back(std::string(log.Get(e, L::Account)) + "=" + std::string(log.Get(e, L::New)));
  const std::vector<std::string> expected = {"a1=plain", "a2=quote\"d", "b1=tab\t",
                                             "b2=b",     "c1=c",        "d1=back\\slash"};
  EXPECT_EQ(got, expected);
  EXPECT_EQ(log.BadLines(), 2);
  const std::vector<std::string> places = {std::string(kHistoryFileName) + ".1:3",
                                           std::string(kHistoryFileName) + ".3:2"};
  EXPECT_EQ(log.BadLinePlaces(), places);
  EXPECT_TRUE(log.TornLastLine());

  // A file not ours among them: what comes before it is read, and it is named.
  d.Write(std::string(kHistoryFileName) + ".2", "some notes\n");
  EXPECT_EQ(log.Load(Path(d)), L::Status::NotHistory);
  EXPECT_NE(log.Error().find(std::string(kHistoryFileName) + ".2"), std::string::npos)
      << log.Error();
  ASSERT_EQ(log.Entries().size(), 2u);
  EXPECT_EQ(log.Get(log.Entries()[1], L::New), "quote\"d");
}

// --- The save path --------------------------------------------------------------------------

class SaveHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("VornexAccu.scp",
              "[old]\r\nPASSWORD=o\r\nTAG.EMAIL=\"a@b.c\"\r\n[other]\r\n[EOF]\r\n");
    dir.Write("VornexAcct.scp", "//created with Vornex Account Manager (KOV)\r\n");
    ASSERT_TRUE(LoadAccountFolder(t, dir.Path()).complete());
    history.path = dir.File(kHistoryFileName);
    history.user = "op";
    history.shard = "/srv/shard";
  }
  void Set(const char* name, Field f, const std::string& v) {
    t.SetCurrent(RowNamed(t, name));
    t.Edit();
    if (FieldInfoOf(f).isInteger)
      t.SetInt(f, std::stoi(v));
    else
      t.SetText(f, v);
    if (t.IntOr0(t.Current(), dbstatus) == StatusStored) t.SetInt(dbstatus, StatusChanged);
    t.Post();
  }
  std::vector<std::string> Lines(const L& log) {
    std::vector<std::string> out;
    for (const auto& e : log.Entries())
      out.push_back(std::string(log.Get(e, L::Account)) + " " + std::string(log.Get(e, L::Action)) +
                    " " + std::string(log.Get(e, L::Field)) + " '" +
                    std::string(log.Get(e, L::Old)) + "' -> '" + std::string(log.Get(e, L::New)) +
                    "'" + (e.takenOver ? " taken" : ""));
    return out;
  }
  TempDir dir;
  AccountTable t;
  SaveHistory history;
};

TEST_F(SaveHistoryTest, EveryWrittenFieldWithTheServersOldValue) {
  Set("old", dbplevel, "GM");
  Set("old", dbpasswort, "topsecret");
  Set("old", dbemail, "\"x@y.z\"");
  t.Append();
  t.SetText(dbaccount, "neu");
  t.SetText(dbpasswort, "newsecret");
  t.SetInt(dbstatus, StatusNew);
  t.Post();
  history.restored = {"neu"};
  SaveOptions options;
  options.history = &history;
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), options);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.historyError.empty()) << r.historyError;
  L log;
  ASSERT_EQ(log.Load(history.path), L::Status::Ok);
  EXPECT_EQ(Lines(log), (std::vector<std::string>{
                            "old change plevel 'Player' -> 'GM'",
                            "old change passwort '' -> 'changed'",
                            "old change email 'a@b.c' -> 'x@y.z'",
                            "neu restore passwort '' -> 'changed'",
                        }));
  EXPECT_EQ(r.historyLines, 4);
  EXPECT_EQ(dir.Read(kHistoryFileName).find("secret"), std::string::npos);
  EXPECT_EQ(log.Get(log.Entries()[0], L::User), "op");
}

TEST_F(SaveHistoryTest, TakenOverWhenTheServerEmptiedTheFile) {
  Set("old", dbchatname, "Hero");
  SaveOptions options;
  options.history = &history;
  options.live = true;
  options.tellServer = [&](std::string&) {
    // As the server: its accounts hold the update before the update file is emptied; a
    // file emptied alone is a take-over that lost the save (SaveAcctTest).
    dir.Write(
        "VornexAccu.scp",
        "[old]\r\nPASSWORD=o\r\nTAG.EMAIL=\"a@b.c\"\r\nCHATNAME=Hero\r\n[other]\r\n[EOF]\r\n");
    dir.Write("VornexAcct.scp", "");
    return true;
  };
  options.takeOverWaitMs = 1000;
  ASSERT_TRUE(WriteAccountUpdates(t, dir.Path(), options).ok());
  L log;
  ASSERT_EQ(log.Load(history.path), L::Status::Ok);
  EXPECT_EQ(Lines(log), std::vector<std::string>{"old change chatname '' -> 'Hero' taken"});
}

TEST_F(SaveHistoryTest, NothingRecordedWhenNothingWasWritten) {
  Set("old", dbchatname, "Hero");
  SaveOptions options;
  options.history = &history;
  options.writeFile = [](const std::string&, const std::string&, std::string& e) {
    e = "disk full";
    return false;
  };
  EXPECT_FALSE(WriteAccountUpdates(t, dir.Path(), options).ok());
  EXPECT_FALSE(FileExists(history.path));
}

TEST_F(SaveHistoryTest, AHistoryThatCannotBeWrittenDoesNotUndoTheSave) {
  Set("old", dbchatname, "Hero");
  dir.Write(kHistoryFileName, "not ours\n");
  SaveOptions options;
  options.history = &history;
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), options);
  EXPECT_TRUE(r.ok());
  EXPECT_NE(r.historyError.find("not a change history"), std::string::npos);
  EXPECT_EQ(dir.Read(kHistoryFileName), "not ours\n");
}

}  // namespace
}  // namespace kov
