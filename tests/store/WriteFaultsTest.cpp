// The update file under real faults: a full file system, a read-only folder, a folder where
// the file should be, a writer that stops halfway. Each leaves the old file whole, no
// temporary file, a message for the operator and the rows pending.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "StoreTestUtil.h"
#include "store/Files.h"
#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"
#include "tests/FaultFs.h"

namespace kov {
namespace {

using test::RowNamed;

const char kAccounts[] = "[old]\r\nPASSWORD=o\r\n[EOF]\r\n";
const char kUpdates[] = "//created with Vornex Account Manager (KOV)\r\n[kept]\r\nPASSWORD=k\r\n";

// Loads the folder and adds enough new accounts that their file outgrows a few pages.
void LoadWithPending(AccountTable& t, const std::string& dir, int rows) {
  ASSERT_TRUE(LoadAccountFolder(t, dir).complete());
  for (int i = 0; i < rows; ++i) {
    t.Append();
    t.SetText(dbaccount, "new" + std::to_string(i));
    t.SetText(dbpasswort, "pw" + std::to_string(i));
    t.SetText(dbplevel, "Player");
    t.SetText(dbpriv, "$0");
    t.SetText(dbcommend, std::string(40, 'c'));
    t.SetInt(dbblock, 0);
    t.SetInt(dbjail, 0);
    t.SetInt(dbstatus, StatusNew);
    t.Post();
  }
}

bool AllPending(const AccountTable& t, int rows) {
  for (int i = 0; i < rows; ++i) {
    const RowId r = RowNamed(t, "new" + std::to_string(i));
    if (r == kNoRow || t.Int(r, dbstatus) != StatusNew) return false;
  }
  return true;
}

// A live save whose server would take the file: nothing may be typed after a failure.
SaveOptions LiveOptions(bool& told) {
  SaveOptions o;
  o.live = true;
  o.tellServer = [&told](std::string&) { return told = true; };
  return o;
}

TEST(UpdateFileFaults, FullFileSystem) {
  faults::SmallTmpfs fs;
  if (!fs.Mounted()) GTEST_SKIP() << fs.Reason();
  faults::WriteFile(fs.File(kAccountFileName), kAccounts);
  faults::WriteFile(fs.File(kUpdateFileName), kUpdates);
  AccountTable t;
  LoadWithPending(t, fs.Path(), 400);  // about 50 kB, more than is left
  fs.FillLeaving(8 * 1024);
  bool told = false;
  const SaveResult r = WriteAccountUpdates(t, fs.Path(), LiveOptions(told));
  EXPECT_EQ(r.status, SaveResult::Status::WriteFailed);
  EXPECT_NE(r.message.find("No space left"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find(kUpdateFileName), std::string::npos) << r.message;
  EXPECT_FALSE(told);
  EXPECT_EQ(faults::ReadFile(fs.File(kUpdateFileName)), kUpdates);
  EXPECT_EQ(faults::Names(fs.Path()),
            (std::vector<std::string>{kUpdateFileName, kAccountFileName, "filler"}));
  EXPECT_TRUE(AllPending(t, 400));

  // Room again: the same rows are written on the next try.
  ::unlink(fs.File("filler").c_str());
  EXPECT_TRUE(WriteAccountUpdates(t, fs.Path(), {}).ok());
  EXPECT_NE(faults::ReadFile(fs.File(kUpdateFileName)).find("[new399]"), std::string::npos);
}

TEST(UpdateFileFaults, ReadOnlyFolder) {
  test::TempDir dir;
  dir.Write(kAccountFileName, kAccounts);
  dir.Write(kUpdateFileName, kUpdates);
  faults::MakeFolderReadOnly(dir.Path());
  std::string reason;
  // Bit flags of what went wrong, checked in the child that owns the table.
  const int failures = faults::RunUnprivileged(
      [&] {
        AccountTable t;
        LoadWithPending(t, dir.Path(), 3);
        bool told = false;
        const SaveResult r = WriteAccountUpdates(t, dir.Path(), LiveOptions(told));
        int bad = 0;
        if (r.status != SaveResult::Status::WriteFailed) bad |= 1;
        if (r.message.find(kUpdateFileName) == std::string::npos) bad |= 2;
        if (told) bad |= 4;
        if (!AllPending(t, 3)) bad |= 8;
        return bad;
      },
      reason);
  if (failures < 0) GTEST_SKIP() << reason;
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(dir.Read(kUpdateFileName), kUpdates);
  EXPECT_EQ(faults::Names(dir.Path()),
            (std::vector<std::string>{kUpdateFileName, kAccountFileName}));
}

TEST(UpdateFileFaults, FolderInPlaceOfTheFile) {
  test::TempDir dir;
  dir.Write(kAccountFileName, kAccounts);
  dir.Write(kUpdateFileName, kUpdates);
  AccountTable t;
  LoadWithPending(t, dir.Path(), 3);
  ::unlink(dir.File(kUpdateFileName).c_str());
  ::mkdir(dir.File(kUpdateFileName).c_str(), 0755);
  dir.Write(std::string(kUpdateFileName) + "/inside", "x");
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), {});
  EXPECT_FALSE(r.ok());
  EXPECT_NE(r.path.find(kUpdateFileName), std::string::npos);
  EXPECT_EQ(dir.Read(std::string(kUpdateFileName) + "/inside"), "x");
  EXPECT_EQ(faults::Names(dir.Path()),
            (std::vector<std::string>{kUpdateFileName, kAccountFileName}));
  EXPECT_TRUE(AllPending(t, 3));

  // The atomic writer itself, asked to replace a folder, leaves it and its temporary file
  // neither.
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.File(kUpdateFileName), "new", error));
  EXPECT_NE(error.find(kUpdateFileName), std::string::npos) << error;
  EXPECT_EQ(faults::Names(dir.Path()),
            (std::vector<std::string>{kUpdateFileName, kAccountFileName}));
}

// A writer that gets half the bytes out and then fails, as a disk error would, through the
// injected writer: it writes the half into the real temporary file beside the target.
TEST(UpdateFileFaults, WriterStoppingHalfway) {
  test::TempDir dir;
  dir.Write(kAccountFileName, kAccounts);
  dir.Write(kUpdateFileName, kUpdates);
  AccountTable t;
  LoadWithPending(t, dir.Path(), 20);
  SaveOptions o;
  bool told = false;
  o = LiveOptions(told);
  std::size_t offered = 0;
  o.writeFile = [&](const std::string& path, const std::string& bytes, std::string& error) {
    offered = bytes.size();
    // The real writer, on a file system that ends halfway through the bytes.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = bytes.size() / 2;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = WriteFileAtomically(path, bytes, error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    return ok;
  };
  const SaveResult r = WriteAccountUpdates(t, dir.Path(), o);
  EXPECT_GT(offered, sizeof kUpdates);
  EXPECT_EQ(r.status, SaveResult::Status::WriteFailed);
  EXPECT_NE(r.message.find("Cannot write"), std::string::npos) << r.message;
  EXPECT_FALSE(told);
  EXPECT_EQ(dir.Read(kUpdateFileName), kUpdates);
  EXPECT_EQ(faults::Names(dir.Path()),
            (std::vector<std::string>{kUpdateFileName, kAccountFileName}));
  EXPECT_TRUE(AllPending(t, 20));
}

}  // namespace
}  // namespace kov
