#pragma once
// Shared by the character benchmarks: a generated save file, grep -c SERIAL= timed on it,
// and the peak memory of a reading.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "chars/CharacterFile.h"

extern char** environ;

namespace charbench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline const char* const kSkills[] = {
    "ALCHEMY", "ANATOMY",  "MAGERY",     "TACTICS",  "HEALING",    "FISHING",        "MINING",
    "HIDING",  "STEALTH",  "ARCHERY",    "FENCING",  "WRESTLING",  "TAMING",         "COOKING",
    "CAMPING", "TRACKING", "MEDITATION", "PARRYING", "ANIMALLORE", "MAGICRESISTANCE"};

// Characters and the items they carry, in the layout the server writes; returns the uid of
// the last character, which sits near the end of the file.
inline std::string Generate(const fs::path& file, std::uint64_t bytes) {
  std::mt19937_64 rng(20261209);
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) {
    std::perror(file.c_str());
    std::exit(1);
  }
  std::string buf;
  buf.reserve(1 << 21);
  std::uint64_t written = 0;
  std::uint64_t serial = 0x40000;
  std::string lastChar;
  char line[256];
  auto add = [&](const char* fmt, auto... v) {
    const int n = std::snprintf(line, sizeof line, fmt, v...);
    buf.append(line, static_cast<std::size_t>(n));
  };
  while (written + buf.size() < bytes) {
    const unsigned long long uid = serial++;
    char uidText[32];
    std::snprintf(uidText, sizeof uidText, "0%llx", uid);
    lastChar = uidText;
    add("[WORLDCHAR c_man]\r\nSERIAL=0%llx\r\nACCOUNT=acc%llu\r\nCREATE=0%llx\r\n", uid,
        static_cast<unsigned long long>(rng() % 100000), static_cast<unsigned long long>(rng()));
    add("NAME=Player %llu\r\nTITLE=the Brave\r\nP=%u,%u,%d\r\nDEATHS=%u\r\nKILLS=%u\r\n", uid,
        static_cast<unsigned>(rng() % 6000), static_cast<unsigned>(rng() % 4000),
        static_cast<int>(rng() % 100), static_cast<unsigned>(rng() % 50),
        static_cast<unsigned>(rng() % 500));
    add("FOOD=%u\r\nHOME=1496,1628,10\r\nSKILLCLASS=0\r\nSTR=%u\r\nOSTR=%u\r\nDEX=%u\r\n"
        "ODEX=%u\r\nINT=%u\r\nOINT=%u\r\nHITS=%u\r\nSTAM=%u\r\nMANA=%u\r\n",
        static_cast<unsigned>(rng() % 60), static_cast<unsigned>(rng() % 100),
        static_cast<unsigned>(rng() % 100), static_cast<unsigned>(rng() % 100),
        static_cast<unsigned>(rng() % 100), static_cast<unsigned>(rng() % 100),
        static_cast<unsigned>(rng() % 100), static_cast<unsigned>(rng() % 100),
        static_cast<unsigned>(rng() % 100), static_cast<unsigned>(rng() % 100));
    for (const char* skill : kSkills) add("%s=%u\r\n", skill, static_cast<unsigned>(rng() % 1001));
    const int items = static_cast<int>(rng() % 8);
    for (int i = 0; i < items; ++i) {
      add("[WORLDITEM i_gold]\r\nSERIAL=04%07llx\r\nAMOUNT=%u\r\nCONT=0%llx\r\nP=%u,%u,0\r\n",
          static_cast<unsigned long long>(serial++ & 0xFFFFFFF),
          static_cast<unsigned>(rng() % 1000), uid, static_cast<unsigned>(rng() % 180),
          static_cast<unsigned>(rng() % 180));
    }
    if (buf.size() > (1 << 20)) {
      written += std::fwrite(buf.data(), 1, buf.size(), out);
      buf.clear();
    }
  }
  buf += "[EOF]\r\n";
  written += std::fwrite(buf.data(), 1, buf.size(), out);
  if (std::fclose(out) != 0) {
    std::perror(file.c_str());
    std::exit(1);
  }
  return lastChar;
}

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// grep writes its count into a pipe: with its output on /dev/null it would stop at the first
// match.
inline double TimeGrep(const fs::path& file, long* count = nullptr) {
  int fds[2];
  if (pipe(fds) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addclose(&actions, fds[1]);
  std::string path = file.string();
  char grep[] = "grep", countFlag[] = "-c", pattern[] = "SERIAL=";
  char* argv[] = {grep, countFlag, pattern, path.data(), nullptr};
  const auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "grep", &actions, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "cannot start grep\n");
    std::exit(1);
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const auto end = Clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (count) *count = std::atol(out.c_str());
  return Seconds(end - start);
}

inline long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t n = std::strlen(key);
  while (std::getline(in, line)) {
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// What a reading showed: the character's name and its number of skill rows.
struct Shown {
  bool found = false;
  std::string name;
  std::size_t skills = 0;
};
using Reader = std::function<Shown(const fs::path& file, const std::string& uid)>;

inline int Run(int argc, char** argv, const char* program, const char* what, const Reader& read) {
  std::uint64_t mb = 200;
  fs::path file;
  bool keep = false;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--mb" && i + 1 < argc) {
      mb = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--file" && i + 1 < argc) {
      file = argv[++i];
    } else if (a == "--keep") {
      keep = true;
    } else if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--mb N] [--file PATH] [--keep] [--runs N]\n", program);
      return 2;
    }
  }

  fs::path dir;
  std::string uid;
  if (file.empty()) {
    dir = fs::temp_directory_path() / (std::string(program) + "-" + std::to_string(getpid()));
    fs::create_directories(dir);
    file = dir / kov::kCharacterFileName;
    std::printf("generating %llu MB at %s\n", static_cast<unsigned long long>(mb), file.c_str());
    uid = Generate(file, mb << 20);
  } else {
    // The last SERIAL= of a character in a given file.
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool inChar = false;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '[') inChar = line.rfind("[WORLDCHAR", 0) == 0;
      if (inChar && line.rfind("SERIAL=", 0) == 0) {
        uid = line.substr(7);
        if (!uid.empty() && uid.back() == '\r') uid.pop_back();
      }
    }
  }
  const std::uint64_t size = fs::file_size(file);

  // Warm the page cache for both so neither pays for the disk.
  TimeGrep(file);
  read(file, uid);

  const long rssBefore = StatusKb("VmRSS:");
  {
    // Reset the peak so it shows the reading alone (Linux 4.0 and later).
    std::ofstream("/proc/self/clear_refs") << "5";
  }
  std::vector<double> grepTimes, readTimes;
  Shown result;
  for (int i = 0; i < runs; ++i) {
    grepTimes.push_back(TimeGrep(file));
    const auto start = Clock::now();
    result = read(file, uid);
    readTimes.push_back(Seconds(Clock::now() - start));
  }
  const long peak = StatusKb("VmHWM:");

  if (!result.found || result.skills == 0) {
    std::fprintf(stderr, "the character %s was not read\n", uid.c_str());
    return 1;
  }
  long serials = 0;
  TimeGrep(file, &serials);
  const double g = Median(grepTimes);
  const double r = Median(readTimes);
  std::printf("file: %.1f MB, character %s (name \"%s\", %zu skills)\n", size / 1048576.0,
              uid.c_str(), result.name.c_str(), result.skills);
  std::printf("SERIAL= lines          %ld\n", serials);
  std::printf("grep -c SERIAL=       median %.3f s over %d runs\n", g, runs);
  std::printf("%-21s median %.3f s over %d runs\n", what, r, runs);
  std::printf("ratio read/grep       %.2f (limit 2.00)\n", r / g);
  std::printf(
      "peak RSS %ld kB, RSS before reading %ld kB: reading added at most %ld kB "
      "(%.2f%% of the file)\n",
      peak, rssBefore, peak - rssBefore, 100.0 * (peak - rssBefore) * 1024.0 / size);
  if (!dir.empty() && !keep) fs::remove_all(dir);
  return r / g <= 2.0 ? 0 : 3;
}

}  // namespace charbench
