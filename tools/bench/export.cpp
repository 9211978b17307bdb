// Exporting 100,000 visible rows to HTML and to .xlsx, against reading the same account
// file into the table, and against wc -l on that file, all in the same run.
//
//   kov-bench-export [--accounts N] [--runs N] [--dir ACCOUNTDIR] [--keep]
//
// Without --dir the account file comes from kov-gen (beside this program) in a temporary
// folder. Also times, in the same runs, the compression alone of the workbook's sheet as the
// library packs it (zlib's default level, raw deflate and a CRC): the floor the library sets,
// about half of the export. Exits 3 when the HTML export takes more than 2 times the reading,
// or the workbook more than 3 times that floor (the rest is the library's cell writing).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../../tests/export/ZipEntry.h"
#include "export/ExportHtml.h"
#include "export/ExportXlsx.h"
#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs a program with its output on /dev/null; returns its wall time, or -1.
double TimeRun(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = Clock::now();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Seconds(start, end) : -1;
}

// Deflates `text` as the library's zip writer does; returns the compressed size.
std::size_t DeflateAsPacked(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
  std::vector<unsigned char> out(1 << 16);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  std::size_t packed = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    rc = deflate(&z, Z_FINISH);
    packed += out.size() - z.avail_out;
  }
  deflateEnd(&z);
  return packed;
}

}  // namespace

int main(int argc, char** argv) {
  int accounts = 100000, runs = 5;
  bool keep = false;
  fs::path dir;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--accounts") && i + 1 < argc) {
      accounts = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (!std::strcmp(argv[i], "--dir") && i + 1 < argc) {
      dir = argv[++i];
    } else if (!std::strcmp(argv[i], "--keep")) {
      keep = true;
    } else {
      std::fprintf(
          stderr,
          "usage: kov-bench-export [--accounts N] [--runs N] [--dir ACCOUNTDIR] [--keep]\n");
      return 2;
    }
  }

  const fs::path work =
      fs::temp_directory_path() / ("kov-bench-export-" + std::to_string(getpid()));
  fs::create_directories(work);
  if (dir.empty()) {
    dir = work / "accounts";
    const fs::path gen = fs::canonical("/proc/self/exe").parent_path() / "kov-gen";
    if (TimeRun({gen.string(), "--accounts", std::to_string(accounts), dir.string()}) < 0) {
      std::fprintf(stderr, "kov-gen failed (%s)\n", gen.c_str());
      return 1;
    }
  }
  const std::string accountFile = kov::JoinPath(dir.string(), kov::kAccountFileName);
  const auto size = fs::file_size(accountFile);

  kov::AccountTable table;
  if (!kov::LoadAccountFolder(table, dir.string()).complete()) {
    std::fprintf(stderr, "cannot load %s\n", dir.c_str());
    return 1;
  }
  const auto columns = kov::DefaultExportColumns();
  const std::string html = (work / "out.htm").string();
  const std::string xlsx = (work / "out.xlsx").string();

  std::vector<double> wc, read, toHtml, toXlsx, packSheet;
  std::optional<std::string> sheet;
  for (int run = 0; run < runs; ++run) {
    wc.push_back(TimeRun({"wc", "-l", accountFile}));
    {
      kov::AccountTable fresh;
      const auto a = Clock::now();
      const kov::ReadResult r = kov::ReadAccountFile(fresh, accountFile);
      read.push_back(Seconds(a, Clock::now()));
      if (!r.ok()) return 1;
    }
    auto a = Clock::now();
    if (!kov::ExportHtml(table, columns, html).ok) return 1;
    toHtml.push_back(Seconds(a, Clock::now()));
    a = Clock::now();
    const kov::ExportResult x = kov::ExportXlsx(table, columns, xlsx);
    if (!x.ok) {
      std::fprintf(stderr, "%s\n", x.error.c_str());
      return 1;
    }
    toXlsx.push_back(Seconds(a, Clock::now()));
    if (!sheet) sheet = kovtest::ZipEntry(xlsx, "xl/worksheets/sheet1.xml");
    if (!sheet) {
      std::fprintf(stderr, "no sheet in %s\n", xlsx.c_str());
      return 1;
    }
    a = Clock::now();
    DeflateAsPacked(*sheet);
    packSheet.push_back(Seconds(a, Clock::now()));
  }
  const double w = Median(wc), r = Median(read), h = Median(toHtml), x = Median(toXlsx),
               p = Median(packSheet);
  std::printf("accounts: %d visible rows, account file %.1f MB, %d runs (medians)\n",
              table.ViewCount(), size / 1048576.0, runs);
  std::printf("wc -l on the account file:   %8.3f s\n", w);
  std::printf("reading the account file:    %8.3f s   (%.2f x wc -l)\n", r, r / w);
  std::printf("HTML export (%5.1f MB):       %8.3f s   ratio to reading %.2f   (%.2f x wc -l)\n",
              fs::file_size(html) / 1048576.0, h, h / r, h / w);
  std::printf("xlsx export (%5.1f MB):       %8.3f s   ratio to reading %.2f   (%.2f x wc -l)\n",
              fs::file_size(xlsx) / 1048576.0, x, x / r, x / w);
  std::printf(
      "  of which the floor: deflating the sheet's %.1f MB of XML as the library packs it:\n"
      "                             %8.3f s   ratio to reading %.2f   (%.0f %% of the export)\n",
      sheet->size() / 1048576.0, p, p / r, 100 * p / x);
  if (keep)
    std::printf("files kept in %s\n", work.c_str());
  else
    fs::remove_all(work);
  return h / r > 2 || x / p > 3 ? 3 : 0;
}
