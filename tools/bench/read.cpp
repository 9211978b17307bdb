// The two readers in one process, each timed on its own: the account file into a fresh
// table, then the update file laid over it, for every account folder given, the folders
// taken in turn within each run so that all see the machine in the same state. Prints the
// medians and the update file's time as a share of the account file's. scripts/bench-read
// runs it beside the whole-process figures against wc -l.
//
//   kov-bench-read [--runs N] ACCOUNTDIR...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "store/ReadAcct.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Folder {
  std::string dir;
  std::vector<double> account, update;
  int rows = 0, updated = 0, added = 0;
  bool indexed = false;
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 11;
  std::vector<Folder> folders;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (argv[i][0] != '-') {
      folders.push_back({argv[i], {}, {}});
    } else {
      folders.clear();
      break;
    }
  }
  if (folders.empty()) {
    std::fprintf(stderr, "usage: kov-bench-read [--runs N] ACCOUNTDIR...\n");
    return 2;
  }
  for (int run = 0; run <= runs; ++run) {  // run 0 warms the cache and is not counted
    for (Folder& f : folders) {
      kov::AccountTable table;
      const auto a = Clock::now();
      const kov::ReadResult acc =
          kov::ReadAccountFile(table, kov::JoinPath(f.dir, kov::kAccountFileName));
      const auto b = Clock::now();
      const kov::ReadResult upd =
          kov::ReadAccountUpdateFile(table, kov::JoinPath(f.dir, kov::kUpdateFileName));
      const auto c = Clock::now();
      if (!acc.ok() || !upd.ok()) {
        std::fprintf(stderr, "kov-bench-read: %s does not load\n", f.dir.c_str());
        return 1;
      }
      if (run == 0) continue;
      f.account.push_back(Ms(a, b));
      f.update.push_back(Ms(b, c));
      f.rows = acc.rowsAdded;
      f.updated = upd.rowsUpdated;
      f.added = upd.rowsAdded;
      f.indexed = table.NameIndexBuilt();
    }
  }
  for (const Folder& f : folders) {
    const double acc = Median(f.account), upd = Median(f.update);
    std::printf(
        "%s: %d accounts, %d section%s (%d updated, %d new): account file %.1f ms, update file "
        "%.2f ms = %.3f x the account file (%s), %d runs, medians\n",
        f.dir.c_str(), f.rows, f.updated + f.added, f.updated + f.added == 1 ? "" : "s", f.updated,
        f.added, acc, upd, upd / acc,
        f.indexed ? "through the name index" : "scanning the names' hashes", runs);
  }
  return 0;
}
