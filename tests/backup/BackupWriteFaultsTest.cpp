// Backups and Huffman files on a file system that fills up and in a folder the user cannot
// write: the previous file stays whole and nothing is left beside it.
#include <gtest/gtest.h>

#include "backup/Huffman_Work.h"
#include "backup/SaveBackup.h"
#include "tests/FaultFs.h"

namespace kov {
namespace {

void AddAccounts(AccountTable& t, int rows) {
  for (int i = 0; i < rows; ++i) {
    t.Append();
    t.SetText(dbaccount, "account" + std::to_string(i * 7919));
    t.SetText(dbpasswort, "pw" + std::to_string(i * 104729));
    t.SetText(dbplevel, "Player");
    t.SetText(dbemail, "mail" + std::to_string(i) + "@example.org");
    t.SetInt(dbblock, i % 2);
    t.SetInt(dbjail, 0);
    t.SetInt(dbstatus, StatusStored);
    t.Post();
  }
}

TEST(BackupWriteFaults, FullFileSystem) {
  faults::SmallTmpfs fs;
  if (!fs.Mounted()) GTEST_SKIP() << fs.Reason();
  AccountTable t;
  AddAccounts(t, 1500);
  const std::string backup = fs.File("Kov_today.bak");
  faults::WriteFile(backup, "previous backup");
  std::string plain;
  for (int i = 0; i < 3000; ++i) plain += "line " + std::to_string(i * i) + "\r\n";
  faults::WriteFile(fs.File("plain.txt"), plain);
  faults::WriteFile(fs.File("plain.huf"), "previous stream");
  fs.FillLeaving(8 * 1024);

  const BackupResult r = WriteBackup(t, backup, "today");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(backup), std::string::npos) << r.error;
  EXPECT_EQ(faults::ReadFile(backup), "previous backup");

  const HuffmanFileResult c = HuffmanCompressFile(fs.File("plain.txt"), fs.File("plain.huf"));
  EXPECT_FALSE(c.ok);
  EXPECT_FALSE(c.error.empty());
  EXPECT_EQ(faults::ReadFile(fs.File("plain.huf")), "previous stream");
  EXPECT_EQ(faults::Names(fs.Path()),
            (std::vector<std::string>{"Kov_today.bak", "filler", "plain.huf", "plain.txt"}));
}

TEST(BackupWriteFaults, ReadOnlyFolderForAnyUser) {
  std::random_device rd;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kov-bak-ro-" + std::to_string(rd()));
  std::filesystem::create_directories(dir);
  const std::string backup = (dir / "Kov_today.bak").string();
  faults::WriteFile(backup, "previous backup");
  faults::MakeFolderReadOnly(dir.string());
  std::string reason;
  const int failures = faults::RunUnprivileged(
      [&] {
        AccountTable t;
        AddAccounts(t, 20);
        const BackupResult r = WriteBackup(t, backup, "today");
        const BackupResult fresh = WriteBackup(t, (dir / "Kov_new.bak").string(), "today");
        int bad = 0;
        if (r.ok || r.error.find(backup) == std::string::npos) bad |= 1;
        if (fresh.ok || fresh.error.empty()) bad |= 2;
        return bad;
      },
      reason);
  const std::string after = faults::ReadFile(backup);
  const std::vector<std::string> names = faults::Names(dir.string());
  ::chmod(dir.c_str(), 0755);
  std::filesystem::remove_all(dir);
  if (failures < 0) GTEST_SKIP() << reason;
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(after, "previous backup");
  EXPECT_EQ(names, std::vector<std::string>{"Kov_today.bak"});
}

}  // namespace
}  // namespace kov
