#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "StoreTestUtil.h"
#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"

namespace kov {
namespace {

using test::RowNamed;
using test::TempDir;

class Save : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("VornexAccu.scp", "[old]\r\nPASSWORD=o\r\n[other]\r\n[EOF]\r\n");
    dir.Write("VornexAcct.scp", "//created with Vornex Account Manager (KOV)\r\n");
    ASSERT_TRUE(LoadAccountFolder(t, dir.Path()).complete());
  }
  void AddNew(const char* name) {
    t.Append();
    t.SetText(dbaccount, name);
    t.SetText(dbpasswort, "pw");
    t.SetText(dbplevel, "Guest");
    t.SetText(dbpriv, "$0");
    t.SetInt(dbblock, 0);
    t.SetInt(dbjail, 0);
    t.SetInt(dbstatus, StatusNew);
    t.Post();
  }
  void Change(const char* name, Field f, const std::string& v) {
    t.SetCurrent(RowNamed(t, name));
    t.Edit();
    if (FieldInfoOf(f).isInteger)
      t.SetInt(f, std::stoi(v));
    else
      t.SetText(f, v);
    t.SetInt(dbstatus, StatusChanged);
    t.Post();
  }
  TempDir dir;
  AccountTable t;
};

TEST_F(Save, NewGuestAccountLayout) {
  AddNew("neu");
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), {});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(dir.Read("VornexAcct.scp"),
            "//created with Vornex Account Manager (KOV)\r\n[neu]\r\nPLEVEL=Guest\r\nPRIV=0\r\n"
            "BLOCK=0\r\nJAIL=0\r\nPASSWORD=pw\r\nCHATNAME=\r\nEMAIL=\r\nTAG.COMMENT=\r\n\r\n");
  EXPECT_EQ(t.Int(RowNamed(t, "neu"), dbstatus), StatusNew);  // not live: still pending
}

TEST_F(Save, FieldRules) {
  Change("old", dbblock, "2");
  Change("old", dblanguage, "DEU");
  Change("old", dbemail, "\"a@b.c\"");
  Change("old", dbpriv, "$0201");
  ASSERT_TRUE(WriteAccountUpdates(t, dir.Path(), {}).ok());
  const std::string f = dir.Read("VornexAcct.scp");
  EXPECT_NE(f.find("BLOCK=0\r\n"), std::string::npos);
  EXPECT_NE(f.find("LANG=DEU\r\n"), std::string::npos);
  EXPECT_NE(f.find("EMAIL=a@b.c\r\n"), std::string::npos);
  EXPECT_NE(f.find("PRIV=0201\r\n"), std::string::npos);
  EXPECT_EQ(t.Text(RowNamed(t, "old"), dbemail), "\"a@b.c\"");  // the table keeps its quotes
}

TEST_F(Save, RowsInTableOrder) {
  AddNew("b");
  AddNew("a");
  t.Sort([&](RowId x, RowId y) { return t.Text(x, dbaccount) < t.Text(y, dbaccount); });
  ASSERT_TRUE(WriteAccountUpdates(t, dir.Path(), {}).ok());
  const std::string f = dir.Read("VornexAcct.scp");
  EXPECT_LT(f.find("[a]"), f.find("[b]"));
}

TEST_F(Save, LiveMarksStoredOnlyWhenTakenOver) {
  AddNew("neu");
  SaveOptions o;
  o.live = true;
  o.tellServer = [](std::string& why) {
    why = "Handle not found!";
    return false;
  };
  SaveResult r = WriteAccountUpdates(t, dir.Path(), o);
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(r.told);
  EXPECT_EQ(t.Int(RowNamed(t, "neu"), dbstatus), StatusNew);
  // "A" typed but the server busy: the row stays pending, written, waiting.
  int told = 0;
  o.tellServer = [&](std::string&) { return ++told, true; };
  o.takeOverWaitMs = 120;
  r = WriteAccountUpdates(t, dir.Path(), o);
  EXPECT_TRUE(r.told);
  EXPECT_EQ(r.takenOver, 0);
  EXPECT_EQ(r.waiting, 1);
  EXPECT_EQ(t.Int(RowNamed(t, "neu"), dbstatus), StatusNew);
  EXPECT_TRUE(t.IsWritten(RowNamed(t, "neu")));
  // A server that takes the file over (its accounts hold the row, the file is emptied)
  // makes the row stored.
  o.tellServer = [&](std::string&) {
    dir.Write("VornexAccu.scp",
              "[old]\r\nPASSWORD=o\r\n[other]\r\n[neu]\r\nPLEVEL=0\r\nPRIV=0\r\nBLOCK=0\r\n"
              "JAIL=0\r\nPASSWORD=pw\r\n[EOF]\r\n");
    dir.Write("VornexAcct.scp", "");
    return ++told, true;
  };
  r = WriteAccountUpdates(t, dir.Path(), o);
  EXPECT_EQ(told, 2);
  EXPECT_EQ(r.takenOver, 1);
  EXPECT_EQ(r.waiting, 0);
  EXPECT_EQ(t.Int(RowNamed(t, "neu"), dbstatus), StatusStored);
  EXPECT_FALSE(t.IsWritten(RowNamed(t, "neu")));
  // A later save with nothing pending writes the header alone and still tells the server.
  r = WriteAccountUpdates(t, dir.Path(), o);
  EXPECT_EQ(dir.Read("VornexAcct.scp"), "");  // emptied by the stand-in above
  EXPECT_EQ(told, 3);
}

// A server that read the update file just before a save replaced it writes its accounts
// without the save's rows and then empties the new file: the sections are gone, but nothing
// was taken over. The rows stay pending and the next save writes them again.
TEST_F(Save, SectionsEmptiedByARacingTakeOverStayPending) {
  AddNew("neu");
  Change("old", dbpasswort, "newer");
  SaveOptions o;
  o.live = true;
  o.takeOverWaitMs = 2000;
  o.tellServer = [&](std::string&) {
    dir.Write("VornexAccu.scp", "[old]\r\nPASSWORD=o\r\n[other]\r\n[EOF]\r\n");
    dir.Write("VornexAcct.scp", "");
    return true;
  };
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), o);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.takenOver, 0);
  EXPECT_EQ(r.overwritten, 2);
  EXPECT_EQ(r.waiting, 2);
  EXPECT_EQ(t.Int(RowNamed(t, "neu"), dbstatus), StatusNew);
  EXPECT_EQ(t.Int(RowNamed(t, "old"), dbstatus), StatusChanged);
  EXPECT_FALSE(t.IsWritten(RowNamed(t, "old")));
  // The folder watch judges the same way.
  AddNew("late");
  ASSERT_TRUE(WriteAccountUpdates(t, dir.Path(), {}).ok());
  dir.Write("VornexAcct.scp", "");
  int overwritten = 0;
  EXPECT_EQ(MarkTakenOver(t, dir.Path() + "/VornexAcct.scp", nullptr, &overwritten), 0);
  EXPECT_EQ(overwritten, 3);
  const std::string again = (WriteAccountUpdates(t, dir.Path(), {}), dir.Read("VornexAcct.scp"));
  for (const char* section : {"[neu]", "[old]", "[late]", "PASSWORD=newer"})
    EXPECT_NE(again.find(section), std::string::npos) << section;
}

// A second save while the server has not taken the first over keeps the first save's
// sections, and sections another tool wrote after the load stay byte for byte.
TEST_F(Save, SectionsNotTakenOverStayInTheFile) {
  const std::string foreign = "[other]\r\nPASSWORD=theirs\r\n";
  dir.Write("VornexAcct.scp", "//made by hand\r\n" + foreign);
  SaveOptions busy;
  busy.live = true;
  busy.tellServer = [](std::string&) { return true; };  // typed, never taken over
  busy.takeOverWaitMs = 60;
  Change("old", dbpasswort, "first");
  SaveResult r = WriteAccountUpdates(t, dir.Path(), busy);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.kept, 1);
  EXPECT_EQ(r.waiting, 1);
  AddNew("neu");
  ASSERT_TRUE(WriteAccountUpdates(t, dir.Path(), busy).ok());
  const std::string f = dir.Read("VornexAcct.scp");
  EXPECT_NE(f.find("[neu]"), std::string::npos) << f;
  EXPECT_NE(f.find("PASSWORD=first"), std::string::npos) << f;
  EXPECT_NE(f.find(foreign), std::string::npos) << f;
  // Rewritten rows replace their own old section instead of adding a second one.
  Change("old", dbpasswort, "second");
  ASSERT_TRUE(WriteAccountUpdates(t, dir.Path(), busy).ok());
  const std::string g = dir.Read("VornexAcct.scp");
  EXPECT_EQ(g.find("PASSWORD=first"), std::string::npos) << g;
  EXPECT_EQ(g.find("[old]"), g.rfind("[old]"));
  EXPECT_EQ(g.find("//created"), 0u);
  EXPECT_NE(g.find(foreign), std::string::npos) << g;
}

TEST_F(Save, RefusesValuesThatWouldSplitLines) {
  for (const std::string& bad :
       {std::string("x\r\nPLEVEL=7"), std::string("x\ny"), std::string("x\0y", 3)}) {
    AccountTable fresh;
    LoadAccountFolder(fresh, dir.Path());
    fresh.SetCurrent(RowNamed(fresh, "old"));
    fresh.SetText(dbpasswort, bad);
    fresh.SetInt(dbstatus, StatusChanged);
    fresh.Post();
    const std::string before = dir.Read("VornexAcct.scp");
    const SaveResult r = WriteAccountUpdates(fresh, dir.Path(), {});
    EXPECT_EQ(r.status, SaveResult::Status::ValueRefused);
    EXPECT_EQ(r.account, "old");
    EXPECT_EQ(r.field, "dbpasswort");
    EXPECT_EQ(dir.Read("VornexAcct.scp"), before);
  }
}

TEST_F(Save, MissingFilesWriteNothing) {
  std::remove(dir.File("VornexAcct.scp").c_str());
  SaveResult r = WriteAccountUpdates(t, dir.Path(), {});
  EXPECT_EQ(r.status, SaveResult::Status::UpdateFileMissing);
  EXPECT_FALSE(FileExists(dir.File("VornexAcct.scp")));  // never created
  std::remove(dir.File("VornexAccu.scp").c_str());
  r = WriteAccountUpdates(t, dir.Path(), {});
  EXPECT_EQ(r.status, SaveResult::Status::AccountFileMissing);
  EXPECT_EQ(r.path, JoinPath(dir.Path(), "VornexAccu.scp"));
}

TEST_F(Save, FailedWriteKeepsOldFileAndPendingRows) {
  AddNew("neu");
  const std::string before = dir.Read("VornexAcct.scp");
  SaveOptions o;
  o.live = true;
  bool told = false;
  o.tellServer = [&](std::string&) { return told = true; };
  o.writeFile = [](const std::string&, const std::string&, std::string& error) {
    error = "No space left on device";
    return false;
  };
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), o);
  EXPECT_EQ(r.status, SaveResult::Status::WriteFailed);
  EXPECT_FALSE(told);  // nothing typed after a failed write
  EXPECT_EQ(dir.Read("VornexAcct.scp"), before);
  EXPECT_EQ(t.Int(RowNamed(t, "neu"), dbstatus), StatusNew);
}

TEST_F(Save, ReadOnlyFileIsNotReplaced) {
  AddNew("neu");
  ::chmod(dir.File("VornexAcct.scp").c_str(), 0444);
  const std::string before = dir.Read("VornexAcct.scp");
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), {});
  EXPECT_EQ(r.status, SaveResult::Status::WriteFailed);
  EXPECT_EQ(dir.Read("VornexAcct.scp"), before);
}

}  // namespace
}  // namespace kov
