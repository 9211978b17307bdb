// Replacing a file keeps who may read it: a server running as another user that shares the
// update file through its group must still be able to read and empty the new one.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "StoreTestUtil.h"
#include "store/Files.h"
#include "store/RemoveSections.h"
#include "tests/FaultFs.h"

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

// A user who may write the file but is not in its group cannot give the new file that group:
// nothing is replaced, and the operator is told why.
TEST(Files, AReplacementThatCannotKeepTheGroupReplacesNothing) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the old file a foreign group";
  test::TempDir dir;
  const std::string path = dir.File("VornexAcct.scp");
  dir.Write("VornexAcct.scp", "old");
  ASSERT_EQ(::chown(path.c_str(), faults::kNobody, 4343), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
  std::string reason;
  const int failures = faults::RunUnprivileged(
      [&] {
        std::string error;
        int bad = 0;
        if (WriteFileAtomically(path, "new", error)) bad |= 1;
        if (error.find("group") == std::string::npos) bad |= 2;
        return bad;
      },
      reason);
  if (failures < 0) GTEST_SKIP() << reason;
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(dir.Read("VornexAcct.scp"), "old");
  EXPECT_EQ(faults::Names(dir.Path()), (std::vector<std::string>{"VornexAcct.scp"}));
}

// The section remover leaves a read-only update file as the operator made it, like Save.
TEST(Files, TheSectionRemoverRefusesAReadOnlyUpdateFile) {
  test::TempDir dir;
  const std::string path = dir.File("VornexAcct.scp");
  const std::string bytes = "[bob]\r\nPASSWORD=x\r\n\r\n[ann]\r\nPASSWORD=y\r\n";
  dir.Write("VornexAcct.scp", bytes);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  const RemoveSectionsResult r = RemoveAccountSections(path, {"bob"});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("read-only"), std::string::npos) << r.error;
  EXPECT_EQ(dir.Read("VornexAcct.scp"), bytes);
}

}  // namespace
}  // namespace kov

#endif  // _WIN32
