#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "backup/Huffman.h"
#include "backup/Restore.h"
#include "backup/SaveBackup.h"
#include "store/AccountTable.h"

using namespace kov;

namespace {

void Add(AccountTable& t, const std::string& name, const std::string& level,
         const std::string& password, int status = StatusStored) {
  t.Append();
  t.SetText(dbaccount, name);
  t.SetText(dbplevel, level);
  t.SetText(dbpriv, "$0");
  t.SetText(dbpasswort, password);
  t.SetInt(dbblock, 0);
  t.SetInt(dbjail, 0);
  t.SetInt(dbstatus, status);
  t.Post();
}

RowId Named(const AccountTable& t, std::string_view name) {
  for (RowId r : t.Order())
    if (t.Text(r, dbaccount) == name) return r;
  return kNoRow;
}

void Set(AccountTable& t, std::string_view name, Field f, std::string_view v, int status) {
  t.SetCurrent(Named(t, name));
  t.Edit();
  t.SetText(f, v);
  t.SetInt(dbstatus, status);
  t.Post();
}

std::string BackupStream(const AccountTable& t) {
  std::string stream;
  EXPECT_EQ(HuffmanEncode(BuildBackupDump(t, "01.05.2024"), stream), HuffmanStatus::Ok);
  return stream;
}

class RestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Add(now, "alice", "Player", "a1");
    Add(now, "bob", "GM", "b1");
    Add(now, "carol", "Player", "c1");
    Add(now, "dave", "Player", "d1");
    now.SetCurrent(Named(now, "alice"));
    now.Edit();
    now.SetText(dbemail, "\"alice@x\"");
    now.SetText(dbcommend, "note");
    now.Post();
    stream = BackupStream(now);
  }
  AccountTable now;
  std::string stream;
};

TEST_F(RestoreTest, DecodesEveryFieldOfEveryAccount) {
  AccountTable backup;
  const BackupReadResult r = ReadBackupBytes(stream, backup);
  ASSERT_TRUE(r.ok()) << r.message;
  EXPECT_EQ(r.rows, 4);
  EXPECT_EQ(r.date, "01.05.2024");
  ASSERT_EQ(backup.RowCount(), 4);
  for (RowId b : backup.Order()) {
    const RowId c = Named(now, backup.Text(b, dbaccount));
    ASSERT_NE(c, kNoRow);
    for (Field f : RestorableFields())
      EXPECT_EQ(backup.DisplayText(b, f), now.DisplayText(c, f)) << FieldInfoOf(f).name;
  }
}

// Deleted since, changed since (the fields that differ), new since; then the chosen ones
// restored leave the table as it was in the backup.
TEST_F(RestoreTest, DiffAndRestore) {
  AccountTable backup;
  ASSERT_TRUE(ReadBackupBytes(stream, backup).ok());
  now.SetCurrent(Named(now, "bob"));
  now.Delete();
  now.SetCurrent(Named(now, "carol"));
  now.Delete();
  Set(now, "alice", dbplevel, "Owner", StatusStored);  // saved since
  Set(now, "alice", dbpasswort, "stolen", StatusStored);
  Add(now, "eve", "Player", "e1");

  const RestoreDiff diff = DiffWithBackup(backup, now);
  EXPECT_EQ(diff.deleted, 2);
  EXPECT_EQ(diff.changed, 1);
  EXPECT_EQ(diff.added, 1);
  EXPECT_FALSE(diff.foreign);
  ASSERT_EQ(diff.items.size(), 4u);
  EXPECT_EQ(diff.items[0].kind, RestoreItem::Kind::Changed);  // backup order: alice first
  EXPECT_EQ(diff.items[0].fields, (std::vector<Field>{dbplevel, dbpasswort}));
  EXPECT_TRUE(diff.items[0].pending.empty());
  EXPECT_EQ(diff.items[1].kind, RestoreItem::Kind::Deleted);
  EXPECT_EQ(backup.Text(diff.items[1].backupRow, dbaccount), "bob");
  EXPECT_EQ(diff.items[3].kind, RestoreItem::Kind::New);

  // Only the level of alice; bob whole; carol not.
  EXPECT_EQ(ApplyRestore(now, backup, diff.items[0], {dbplevel}, PendingChoice::KeepPending), 1);
  EXPECT_GT(ApplyRestore(now, backup, diff.items[1], {}, PendingChoice::KeepPending), 0);
  EXPECT_EQ(ApplyRestore(now, backup, diff.items[3], {}, PendingChoice::KeepPending), 0);

  const RowId alice = Named(now, "alice");
  EXPECT_EQ(now.Text(alice, dbplevel), "Player");
  EXPECT_EQ(now.Text(alice, dbpasswort), "stolen");
  EXPECT_EQ(now.IntOr0(alice, dbstatus), StatusChanged);
  const RowId bob = Named(now, "bob");
  ASSERT_NE(bob, kNoRow);
  EXPECT_EQ(now.IntOr0(bob, dbstatus), StatusNew);
  EXPECT_EQ(now.Text(bob, dbpasswort), "b1");
  EXPECT_EQ(now.Text(bob, dbplevel), "GM");
  EXPECT_EQ(Named(now, "carol"), kNoRow);

  const RestoreDiff after = DiffWithBackup(backup, now);
  EXPECT_EQ(after.deleted, 1);  // carol
  EXPECT_EQ(after.changed, 1);  // alice's password
}

// A row with an unsaved change: the operator keeps it or takes the backup's value.
TEST_F(RestoreTest, PendingValues) {
  AccountTable backup;
  ASSERT_TRUE(ReadBackupBytes(stream, backup).ok());
  AccountTable server;  // the server's file as the table was loaded
  Add(server, "alice", "Player", "a1");
  Add(server, "dave", "Seer", "d1");
  Set(now, "alice", dbplevel, "GM", StatusChanged);    // pending, the server has Player
  Set(now, "dave", dbplevel, "Owner", StatusChanged);  // pending; the server has Seer
  const RestoreDiff diff = DiffWithBackup(backup, now, &server);
  const RestoreItem* alice = nullptr;
  const RestoreItem* dave = nullptr;
  for (const RestoreItem& i : diff.items) {
    if (i.currentRow == Named(now, "alice")) alice = &i;
    if (i.currentRow == Named(now, "dave")) dave = &i;
  }
  ASSERT_TRUE(alice && dave);
  EXPECT_TRUE(alice->IsPending(dbplevel));
  EXPECT_FALSE(alice->IsPending(dbemail));
  EXPECT_TRUE(dave->IsPending(dbplevel));

  EXPECT_EQ(ApplyRestore(now, backup, *alice, {}, PendingChoice::KeepPending), 0);
  EXPECT_EQ(now.Text(Named(now, "alice"), dbplevel), "GM");
  EXPECT_EQ(ApplyRestore(now, backup, *dave, {}, PendingChoice::TakeBackup), 1);
  EXPECT_EQ(now.Text(Named(now, "dave"), dbplevel), "Player");
  EXPECT_EQ(now.IntOr0(Named(now, "dave"), dbstatus), StatusChanged);
}

// A backup taken before the account had a language: the update file cannot carry an empty
// one, so restoring it would leave the server's language while the row counted as taken over.
TEST_F(RestoreTest, AnEmptyLanguageIsNotRestored) {
  AccountTable backup;
  ASSERT_TRUE(ReadBackupBytes(stream, backup).ok());
  ASSERT_EQ(backup.Text(Named(backup, "bob"), dblanguage), "");
  Set(now, "bob", dblanguage, "ESP", StatusStored);
  Set(now, "carol", dblanguage, "DEU", StatusStored);
  Set(now, "carol", dbpasswort, "c2", StatusStored);
  const RestoreDiff diff = DiffWithBackup(backup, now);
  EXPECT_EQ(diff.changed, 1);
  ASSERT_EQ(diff.items.size(), 1u);
  EXPECT_EQ(diff.items[0].currentRow, Named(now, "carol"));
  EXPECT_EQ(diff.items[0].fields, (std::vector<Field>{dbpasswort}));
  EXPECT_EQ(ApplyRestore(now, backup, diff.items[0], {}, PendingChoice::TakeBackup), 1);
  EXPECT_EQ(now.Text(Named(now, "carol"), dblanguage), "DEU");
  EXPECT_EQ(now.Text(Named(now, "carol"), dbpasswort), "c1");
}

TEST_F(RestoreTest, AnotherShardsBackup) {
  AccountTable other;
  Add(other, "zed", "Player", "z");
  Add(other, "yan", "Player", "y");
  AccountTable backup;
  ASSERT_TRUE(ReadBackupBytes(BackupStream(other), backup).ok());
  const RestoreDiff diff = DiffWithBackup(backup, now);
  EXPECT_TRUE(diff.foreign);
  EXPECT_EQ(diff.deleted, 2);
  AccountTable empty;
  EXPECT_FALSE(DiffWithBackup(backup, empty).foreign);  // nothing to compare with
}

// Bad files end in a message and an untouched table, never a crash.
TEST_F(RestoreTest, DamagedAndForeignFiles) {
  struct Case {
    const char* name;
    std::string bytes;
    BackupReadResult::Status status;
  };
  std::string flippedHeader = stream;
  flippedHeader[20] = static_cast<char>(flippedHeader[20] ^ 0x40);
  std::string plainDump = BuildBackupDump(now, "x");
  std::string textStream;
  ASSERT_EQ(HuffmanEncode("just some text\r\n", textStream), HuffmanStatus::Ok);
  const std::vector<Case> cases = {
      {"empty", "", BackupReadResult::Status::Empty},
      {"shorter than the header", stream.substr(0, 100), BackupReadResult::Status::NotBackup},
      {"header only", stream.substr(0, kHuffmanHeaderSize), BackupReadResult::Status::Truncated},
      {"cut in the middle",
       stream.substr(0, kHuffmanHeaderSize + (stream.size() - kHuffmanHeaderSize) / 2),
       BackupReadResult::Status::Truncated},
      {"last byte missing", stream.substr(0, stream.size() - 1),
       BackupReadResult::Status::Truncated},
      {"a count changed", flippedHeader, BackupReadResult::Status::NotBackup},
      {"the dump uncompressed", plainDump, BackupReadResult::Status::NotBackup},
      {"another program's stream", textStream, BackupReadResult::Status::NotBackup},
  };
  for (const Case& c : cases) {
    AccountTable t;
    Add(t, "keep", "Player", "k");
    const BackupReadResult r = ReadBackupBytes(c.bytes, t);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.message;
    EXPECT_FALSE(r.message.empty()) << c.name;
    EXPECT_EQ(t.RowCount(), 1) << c.name;  // a failed read leaves the table alone
  }
}

// A dump that goes wrong after whole accounts were read: a table holding rows keeps them, an
// empty one stays empty, and no row of the damaged backup is left anywhere.
TEST_F(RestoreTest, DamagedDumpsChangeNoTable) {
  const std::string dump = BuildBackupDump(now, "01.05.2024");
  const std::size_t dave = dump.find("[dave]\r\n");
  ASSERT_NE(dave, std::string::npos);
  // dave's first number replaced by a word
  std::string badNumber = dump;
  {
    std::size_t pos = dave + std::string("[dave]\r\n").size();
    for (int f = dbaccount + 1; f < kFieldCount; ++f) {
      const std::size_t end = badNumber.find("\r\n", pos);
      if (FieldInfoOf(static_cast<Field>(f)).isInteger) {
        badNumber.replace(pos, end - pos, "many");
        break;
      }
      pos = end + 2;
    }
  }
  struct Case {
    const char* name;
    std::string dump;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"a number that is none", badNumber, "should be a number"},
      {"an account without brackets", std::string(dump).replace(dave, 6, "dave"),
       "should name an account in brackets"},
      {"the last account cut short", dump.substr(0, dave + 20), "the account ends early"},
      {"no empty line after the last account", dump.substr(0, dump.size() - 2),
       "should end the account with an empty line"},
  };
  for (const Case& c : cases) {
    std::string encoded;
    ASSERT_EQ(HuffmanEncode(c.dump, encoded), HuffmanStatus::Ok);
    for (const bool holding : {true, false}) {
      AccountTable t;
      if (holding) Add(t, "keep", "Player", "k");
      const BackupReadResult r = ReadBackupBytes(encoded, t);
      EXPECT_EQ(r.status, BackupReadResult::Status::NotBackup) << c.name;
      EXPECT_NE(r.message.find(c.message), std::string::npos) << c.name << ": " << r.message;
      ASSERT_EQ(t.RowCount(), holding ? 1 : 0) << c.name;
      if (holding) EXPECT_EQ(t.Text(t.Order()[0], dbaccount), "keep") << c.name;
    }
  }
}

// The first row of a name counts on either side; later rows of that name are neither compared
// nor reported.
TEST_F(RestoreTest, RepeatedNamesCountTheirFirstRow) {
  AccountTable backup;
  Add(backup, "alice", "GM", "a1");
  Add(backup, "alice", "Player", "a1");  // would equal the current alice's level
  Add(backup, "zed", "Player", "z");
  Add(backup, "zed", "Player", "z");
  Add(backup, "bob", "GM", "b1");
  Add(now, "alice", "Owner", "x");
  const RowId firstAlice = now.Order().front();

  const RestoreDiff diff = DiffWithBackup(backup, now);
  EXPECT_EQ(diff.backupRows, 3);
  EXPECT_EQ(diff.changed, 1);
  EXPECT_EQ(diff.deleted, 1);
  EXPECT_EQ(diff.added, 2);  // carol and dave; the second alice's name is in the backup
  ASSERT_EQ(diff.items.size(), 4u);
  EXPECT_EQ(diff.items[0].kind, RestoreItem::Kind::Changed);
  EXPECT_EQ(diff.items[0].currentRow, firstAlice);
  EXPECT_EQ(diff.items[0].backupRow, backup.Order()[0]);
  EXPECT_NE(std::find(diff.items[0].fields.begin(), diff.items[0].fields.end(), dbplevel),
            diff.items[0].fields.end());
  EXPECT_EQ(diff.items[1].kind, RestoreItem::Kind::Deleted);
  EXPECT_EQ(diff.items[1].backupRow, backup.Order()[2]);
  EXPECT_EQ(now.Text(diff.items[2].currentRow, dbaccount), "carol");
  EXPECT_EQ(now.Text(diff.items[3].currentRow, dbaccount), "dave");
}

// Any byte flipped in the codes decodes to something: either a clear refusal or a backup whose
// structure holds; never a crash.
TEST_F(RestoreTest, FlippedBytesInTheCodes) {
  for (std::size_t pos = kHuffmanHeaderSize; pos < stream.size(); pos += 7) {
    std::string bad = stream;
    bad[pos] = static_cast<char>(bad[pos] ^ 0x5A);
    AccountTable t;
    const BackupReadResult r = ReadBackupBytes(bad, t);
    if (r.ok())
      EXPECT_EQ(t.RowCount(), r.rows);
    else
      EXPECT_FALSE(r.message.empty());
  }
}

}  // namespace
