// kov.ini on a file system that fills up and in a folder the user cannot write: the old file
// stays whole, nothing is left beside it, the caller gets a message and the profile in memory
// keeps what was not saved.
#include <gtest/gtest.h>

#include "settings/IniFile.h"
#include "tests/FaultFs.h"

namespace kov {
namespace {

const char kOld[] = "; mine\r\n[Settings]\r\nLANG=1\r\n";

TEST(IniWriteFaults, FullFileSystem) {
  faults::SmallTmpfs fs;
  if (!fs.Mounted()) GTEST_SKIP() << fs.Reason();
  const std::string file = fs.File("kov.ini");
  faults::WriteFile(file, kOld);
  IniFile ini(file);
  for (int i = 0; i < 600; ++i)
    ASSERT_TRUE(ini.WriteString("Columns", "Width" + std::to_string(i), std::string(30, 'w')));
  fs.FillLeaving(8 * 1024);
  const IniFile::SaveResult r = ini.Save();
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("No space left"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find(file), std::string::npos) << r.error;
  EXPECT_EQ(faults::ReadFile(file), kOld);
  EXPECT_EQ(faults::Names(fs.Path()), (std::vector<std::string>{"filler", "kov.ini"}));

  // What was not saved is still there to save once there is room.
  ::unlink(fs.File("filler").c_str());
  ASSERT_TRUE(ini.Save().ok);
  IniFile back(file);
  EXPECT_EQ(back.ReadString("Columns", "Width599", ""), std::string(30, 'w'));
  EXPECT_EQ(back.ReadInteger("Settings", "LANG", 0), 1);
}

TEST(IniWriteFaults, ReadOnlyFolderForAnyUser) {
  std::random_device rd;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kov-ini-ro-" + std::to_string(rd()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "kov.ini").string();
  faults::WriteFile(file, kOld);
  faults::MakeFolderReadOnly(dir.string());
  std::string reason;
  const int failures = faults::RunUnprivileged(
      [&] {
        IniFile ini(file);
        if (!ini.WriteInteger("Settings", "LANG", 2)) return 1;
        const IniFile::SaveResult r = ini.Save();
        int bad = 0;
        if (r.ok) bad |= 2;
        if (r.error.find(dir.string()) == std::string::npos) bad |= 4;
        if (ini.ReadInteger("Settings", "LANG", 0) != 2) bad |= 8;
        return bad;
      },
      reason);
  const std::string after = faults::ReadFile(file);
  const std::vector<std::string> names = faults::Names(dir.string());
  ::chmod(dir.c_str(), 0755);
  std::filesystem::remove_all(dir);
  if (failures < 0) GTEST_SKIP() << reason;
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(after, kOld);
  EXPECT_EQ(names, std::vector<std::string>{"kov.ini"});
}

}  // namespace
}  // namespace kov
