// The restore view's work against the account file's read, in one process on the same shard:
// the shard's table backed up, then per run (a) the account file read into a fresh table,
// (b) the backup decoded in memory and compared with the loaded table. Prints the medians and
// (b) as a multiple of (a); the goal is at most 3.
//
//   kov-bench-restore [--runs N] ACCOUNTDIR
#include "backup/Restore.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "backup/SaveBackup.h"
#include "store/Files.h"
#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 11;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else
      dir = argv[i];
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: kov-bench-restore [--runs N] ACCOUNTDIR\n");
    return 2;
  }
  kov::AccountTable table;
  if (!kov::LoadAccountFolder(table, dir).complete()) {
    std::fprintf(stderr, "cannot load %s\n", dir.c_str());
    return 1;
  }
  const std::string backup = (std::filesystem::temp_directory_path() /
                              ("kov-bench-restore-" + std::to_string(getpid()) + ".bak"))
                                 .string();
  if (!kov::WriteBackup(table, backup, "bench").ok) return 1;
  // A few differences, as after a day's work: the diff itself is not the easy all-equal case.
  table.First();
  for (int i = 0; i < 100 && !table.Eof(); ++i, table.Next()) {
    table.Edit();
    table.SetText(kov::dbchatname, "changed");
    table.Post();
  }
  const std::string accountFile = kov::JoinPath(dir, kov::kAccountFileName);
  std::vector<double> read, view, backupRead;
  int changed = 0;
  for (int run = 0; run <= runs; ++run) {
    const auto t0 = Clock::now();
    {
      kov::AccountTable fresh;
      kov::ReadAccountFile(fresh, accountFile);
    }
    const auto t1 = Clock::now();
    auto tBackup = t1;
    {
      kov::AccountTable b;
      if (!kov::ReadBackup(backup, b).ok()) return 1;
      tBackup = Clock::now();
      const kov::RestoreDiff diff = kov::DiffWithBackup(b, table);
      changed = diff.changed;
    }
    const auto t2 = Clock::now();
    if (run == 0) continue;  // warms the cache
    read.push_back(Ms(t0, t1));
    view.push_back(Ms(t1, t2));
    backupRead.push_back(Ms(t1, tBackup));
  }
  std::filesystem::remove(backup);
  const double r = Median(read), v = Median(view);
  std::printf("accounts: %d, changed since the backup: %d, runs: %d\n", table.RowCount(), changed,
              runs);
  std::printf("account file read:              %8.1f ms\n", r);
  std::printf("backup decoded and compared:    %8.1f ms\n", v);
  const double b = Median(backupRead);
  std::printf("  of which the backup read:      %8.1f ms (%.2f x the account read)\n", b, b / r);
  std::printf("  of which the comparison:       %8.1f ms\n", v - b);
  std::printf("restore view / account read:    %8.2f (goal: at most 3)\n", v / r);
  return 0;
}
