// Replacing a file keeps who may read it: a server running as another user that shares the
// update file through its group must still be able to read and empty the new one.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "StoreTestUtil.h"
#include "store/Files.h"

namespace kov {
namespace {

TEST(Files, AReplacementKeepsTheOldFilesOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the old file another owner";
  test::TempDir dir;
  const std::string path = dir.File("VornexAcct.scp");
  dir.Write("VornexAcct.scp", "old");
  ASSERT_EQ(::chown(path.c_str(), 4242, 4343), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(path, "new", error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4242u);
  EXPECT_EQ(st.st_gid, 4343u);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  EXPECT_EQ(dir.Read("VornexAcct.scp"), "new");

  // Backups and exports stay the operator's own, whatever they replace.
  AtomicFile backup;
  ASSERT_TRUE(backup.Open(path, AtomicFile::Access::OwnerOnly, error)) << error;
  backup.Write("secret", 6);
  ASSERT_TRUE(backup.Commit(error)) << error;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace kov

#endif  // _WIN32
