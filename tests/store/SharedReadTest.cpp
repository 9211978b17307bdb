// Reading the server's files never stands in the way of the server's own writes: another
// process may delete or write a file we hold open, and our reading goes on with the old file
// whole or says it changed. On Windows this needs read, write and delete sharing (run under
// Wine by scripts/cross-test-windows.sh); on Linux it always holds.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#include "StoreTestUtil.h"
#include "store/Files.h"
#include "store/ReadAcc.h"
#include "store/ReadAcct.h"

namespace kov {
namespace {

using test::TempDir;

// Runs the replace tool as a process of its own and returns its exit status.
int RunOtherProcess(const std::vector<std::string>& args) {
#ifdef _WIN32
  char tool[MAX_PATH];
  const DWORD n = ::GetFullPathNameA(KOV_TEST_REPLACE_TOOL, MAX_PATH, tool, nullptr);
  if (n == 0 || n >= MAX_PATH) return -1;
  std::string command = "\"" + std::string(tool) + "\"";
  for (const std::string& a : args) command += " \"" + a + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(tool, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    return -1;
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
#else
  std::vector<std::string> all = {KOV_TEST_REPLACE_TOOL};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
#endif
}

std::string Accounts(const std::string& prefix, int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "[" + prefix + std::to_string(100000 + i) + "]\r\nPASSWORD=pw" + std::to_string(i) +
            "\r\nPLEVEL=Player\r\n\r\n";
  return text + "[EOF]\r\n";
}

// A last write time well in the past, so that a write now always changes it.
void Age(const std::string& path) {
  namespace fs = std::filesystem;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

TEST(SharedRead, AnotherProcessDeletesOrWritesAFileWeHoldOpen) {
  TempDir dir;
  const std::string path = dir.File("held.scp");
  const std::string old = "old content, read whole\r\n" + std::string(100000, 'o');
  struct Case {
    const char* what;
    std::vector<std::string> args;
    bool gone;  // whether the file is absent afterwards
  };
  const std::vector<Case> cases = {
      {"delete", {"delete", path}, true},
      {"write in place", {"write", path, "NEW"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("held.scp", old);
    std::FILE* f = FOpenSharedForReading(path);
    ASSERT_NE(f, nullptr);
    std::string got(1000, '\0');
    ASSERT_EQ(std::fread(got.data(), 1, got.size(), f), got.size());

    EXPECT_EQ(RunOtherProcess(c.args), 0);

    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) got.append(buffer, n);
    std::fclose(f);
    EXPECT_TRUE(got == old) << "read " << got.size() << " bytes";
    EXPECT_EQ(FileExists(path), !c.gone);
  }
#ifdef _WIN32
  // What the C library's own opening does, for contrast: the server could not delete it.
  dir.Write("held.scp", old);
  std::FILE* plain = std::fopen(path.c_str(), "rb");
  ASSERT_NE(plain, nullptr);
  EXPECT_NE(RunOtherProcess({"delete", path}), 0);
  std::fclose(plain);
#endif
}

// A world save renames its new file over the account file. Windows refuses that while any
// process holds the old file open, whatever its sharing (so does Wine), so the reader holds
// the file only while it copies the bytes: a progress callback that waits (a busy window)
// does not keep the server from saving.
TEST(SharedRead, TheAccountReaderHoldsTheFileOnlyWhileCopyingIt) {
  TempDir dir;
  const std::string path = dir.File("VornexAccu.scp");
  dir.Write("VornexAccu.scp", Accounts("old", 20000));
  dir.Write("next.scp", Accounts("new", 3));
  int replaced = -1;
  ReadOptions options;
  options.progress = [&](std::uint64_t, std::uint64_t) {
    if (replaced == -1) replaced = RunOtherProcess({"rename", dir.File("next.scp"), path, "5000"});
  };
  AccountTable table;
  const ReadResult result = detail::ReadAccountFileChunked(table, path, options, 4096);
  EXPECT_EQ(replaced, 0) << "the other process could not replace the file";
  EXPECT_TRUE(result.ok()) << result.message;
  EXPECT_EQ(table.RowCount(), 20000);
  EXPECT_TRUE(dir.Read("VornexAccu.scp") == Accounts("new", 3));
}

// A file written in place (not replaced) while it is read is either read whole as it was,
// or reported as changed: never a table made of two versions.
TEST(SharedRead, AFileWrittenInPlaceDuringTheReadIsNeverMixed) {
  TempDir dir;
  const std::string path = dir.File("VornexAccu.scp");
  const std::string before = Accounts("aaa", 20000);
  const std::string after = Accounts("bbb", 20000);
  ASSERT_EQ(before.size(), after.size());
  for (std::size_t chunk : {std::size_t{512}, std::size_t{1} << 20}) {
    SCOPED_TRACE(chunk);
    dir.Write("VornexAccu.scp", before);
    Age(path);
    bool written = false;
    ReadOptions options;
    options.progress = [&](std::uint64_t, std::uint64_t) {
      if (written) return;
      written = true;
      std::FILE* w = std::fopen(path.c_str(), "r+b");
      ASSERT_NE(w, nullptr);
      std::fwrite(after.data(), 1, after.size(), w);
      std::fclose(w);
    };
    AccountTable table;
    const ReadResult result = detail::ReadAccountFileChunked(table, path, options, chunk);
    ASSERT_TRUE(written);
    if (result.ok()) {
      ASSERT_EQ(table.RowCount(), 20000);
      std::size_t fromBefore = 0;
      for (RowId r : table.Order()) fromBefore += table.Text(r, dbaccount).substr(0, 3) == "aaa";
      EXPECT_EQ(fromBefore, 20000u) << "a table made of both versions";
    } else {
      EXPECT_NE(result.message.find(ChangedWhileReadingText()), std::string::npos)
          << result.message;
    }
  }
}

// Our own replacements wait a moment for a reader that holds the target (on Windows a rename
// over an open file fails), and report the failure when it keeps holding it.
TEST(SharedRead, OurReplacementWaitsForAReaderToLetGo) {
  TempDir dir;
  const std::string path = dir.File("VornexAcct.scp");
  struct Case {
    int holdMs;
    bool replaced;
  };
#ifdef _WIN32
  const std::vector<Case> cases = {{150, true}, {2000, false}};
#else
  const std::vector<Case> cases = {{150, true}};  // a rename here never waits for readers
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.holdMs);
    dir.Write("VornexAcct.scp", "old");
    std::FILE* held = std::fopen(path.c_str(), "rb");
    ASSERT_NE(held, nullptr);
    std::thread reader([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(c.holdMs));
      std::fclose(held);
    });
    std::string error;
    const bool ok = WriteFileAtomically(path, "new", error);
    reader.join();
    EXPECT_EQ(ok, c.replaced) << error;
    EXPECT_EQ(dir.Read("VornexAcct.scp"), c.replaced ? "new" : "old");
    if (!c.replaced) {
      EXPECT_NE(error.find("Cannot replace"), std::string::npos) << error;
    }
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) files += e.exists();
    EXPECT_EQ(files, 1u) << "a temporary file was left behind";
  }
}

// A file too large to hold (here a sparse file of a tebibyte) is a clear error, never an
// abort; the table is left as it was.
TEST(SharedRead, AFileTooLargeToHoldIsAClearError) {
  TempDir dir;
  struct Case {
    const char* name;
    bool update;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"VornexAccu.scp", false, "the account file is too large to load: 1099511627776 bytes"},
      {"VornexAcct.scp", true, "the update file is too large to load: 1099511627776 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write(c.name, "[bob]\r\nPASSWORD=x\r\n");
    std::error_code ec;
    std::filesystem::resize_file(dir.File(c.name), std::uint64_t{1} << 40, ec);
    if (ec) GTEST_SKIP() << "this file system has no sparse files: " << ec.message();
    AccountTable table;
    const ReadResult r = c.update ? ReadAccountUpdateFile(table, dir.File(c.name))
                                  : ReadAccountFile(table, dir.File(c.name));
    EXPECT_EQ(r.status, ReadResult::Status::ReadError);
    EXPECT_EQ(r.message, c.text);
    EXPECT_EQ(table.RowCount(), 0);
  }
}

// The update file and the settings are read whole at once; the same holds.
TEST(SharedRead, WholeFileReadersGoThroughTheSharedOpen) {
  TempDir dir;
  dir.Write("a.txt", "abc");
  std::string bytes;
  EXPECT_TRUE(ReadAllBytes(dir.File("a.txt"), bytes));
  EXPECT_EQ(bytes, "abc");
  errno = 0;
  EXPECT_FALSE(ReadAllBytes(dir.File("missing.txt"), bytes));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(ReadAllBytes("", bytes));
}

}  // namespace
}  // namespace kov
