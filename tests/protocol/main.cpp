// kov-protocol-soak: seeded random histories of an operator, the program and a live
// stand-in server with faults, judged by an oracle. A failing history is shrunk to the
// fewest operations that still fail and printed with its seed.
//   kov-protocol-soak --seeds 1-40          the seeds CI runs
//   kov-protocol-soak --random 10000        random seeds; prints the count and failures
//   --shrink K                              shorten only the first K failures (--random: 0,
//                                           as shrinking reruns a history dozens of times)
//   kov-protocol-soak --seed S [--keep i,j] one history (the operations kept), verbose
// KOV_PROTOCOL_KEEP_FAILED=DIR keeps a failing history's folder; KOV_PROTOCOL_TRACE=1 prints
// each save's rows and what became of them.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ProtocolRun.h"

#ifndef KOV_STANDIN_SERVER
#error "KOV_STANDIN_SERVER must name the stand-in server"
#endif

namespace fs = std::filesystem;
using namespace kov::protocol;

namespace {

// SIGINT or SIGTERM ends a long soak after the running history, with the summary so far.
volatile std::sig_atomic_t g_stop = 0;
void AskToStop(int) { g_stop = 1; }

struct Scratch {
  std::string root, server, work;
  ~Scratch() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
};

// The program finds its server by the executable's path: a copy at a path of our own keeps
// every other test's server out of these histories.
bool MakeScratch(Scratch& s) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kov-protocol-XXXXXX";
  if (!::mkdtemp(pattern.data())) return false;
  s.root = fs::canonical(pattern).string();
  s.server = s.root + "/bin/vornex-server";
  s.work = s.root + "/run";
  std::error_code ec;
  fs::create_directories(s.root + "/bin", ec);
  fs::create_directories(s.work, ec);
  fs::copy_file(KOV_STANDIN_SERVER, s.server, ec);
  return !ec;
}

std::vector<int> Kept(const std::vector<bool>& keep) {
  std::vector<int> out;
  for (size_t i = 0; i < keep.size(); ++i)
    if (keep[i]) out.push_back(static_cast<int>(i));
  return out;
}

std::string KeepArgument(const std::vector<bool>& keep) {
  std::string s;
  for (int i : Kept(keep)) s += (s.empty() ? "" : ",") + std::to_string(i);
  return s;
}

bool Fails(const Sequence& seq, const Scratch& s, const std::vector<bool>& keep) {
  // Timing plays a part: a history counts as failing when one of two runs fails.
  for (int attempt = 0; attempt < 2; ++attempt)
    if (!RunSequence(seq, s.server, s.work, keep).passed) return true;
  return false;
}

// Drops chunks of operations, halving the chunk, while the history still fails.
std::vector<bool> Shrink(const Sequence& seq, const Scratch& s) {
  std::vector<bool> keep(seq.ops.size(), true);
  for (size_t chunk = keep.size() / 2; chunk >= 1; chunk /= 2) {
    bool progress = true;
    while (progress) {
      progress = false;
      const std::vector<int> kept = Kept(keep);
      for (size_t start = 0; start < kept.size(); start += chunk) {
        std::vector<bool> trial = keep;
        for (size_t i = start; i < std::min(kept.size(), start + chunk); ++i)
          trial[static_cast<size_t>(kept[i])] = false;
        if (Fails(seq, s, trial)) {
          keep = trial;
          progress = true;
          break;
        }
      }
    }
  }
  return keep;
}

void PrintHistory(const Sequence& seq, const std::vector<bool>& keep) {
  std::printf("  server take-over delay %d ms\n", seq.takeOverDelayMs);
  for (size_t i = 0; i < seq.ops.size(); ++i)
    if (keep.empty() || keep[i]) std::printf("  %3zu  %s\n", i, Describe(seq.ops[i]).c_str());
}

void Report(const Sequence& seq, const RunOutcome& first, const Scratch& s, bool shrink) {
  std::printf("FAIL seed %llu: %s\n", static_cast<unsigned long long>(seq.seed),
              first.failure.c_str());
  if (!shrink) {
    std::printf("  again: kov-protocol-soak --seed %llu\n",
                static_cast<unsigned long long>(seq.seed));
    std::fflush(stdout);
    return;
  }
  const std::vector<bool> keep = Shrink(seq, s);
  const RunOutcome again = RunSequence(seq, s.server, s.work, keep);
  std::printf("  shortened to %zu of %zu operations%s%s\n", Kept(keep).size(), seq.ops.size(),
              again.passed ? "" : ": ", again.passed ? "" : again.failure.c_str());
  PrintHistory(seq, keep);
  std::printf("  again: kov-protocol-soak --seed %llu --keep %s\n",
              static_cast<unsigned long long>(seq.seed), KeepArgument(keep).c_str());
  std::fflush(stdout);
}

int Usage() {
  std::fprintf(stderr,
               "usage: kov-protocol-soak --seeds FIRST-LAST | --random N | --seed S [--keep "
               "i,j,...] [--shrink K]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::uint64_t> seeds;
  std::vector<bool> keep;
  bool single = false;
  long shrinkLimit = -1;  // unset: every failure of --seeds, none of --random
  bool random = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--seeds" && i + 1 < argc) {
      unsigned long long first = 0, last = 0;
      if (std::sscanf(argv[++i], "%llu-%llu", &first, &last) != 2 || last < first) return Usage();
      for (auto s = first; s <= last; ++s) seeds.push_back(s);
    } else if (a == "--shrink" && i + 1 < argc) {
      shrinkLimit = std::atol(argv[++i]);
    } else if (a == "--random" && i + 1 < argc) {
      random = true;
      const long n = std::atol(argv[++i]);
      std::random_device device;
      std::mt19937_64 rng((static_cast<std::uint64_t>(device()) << 32) ^ device());
      for (long k = 0; k < n; ++k) seeds.push_back(rng() % 1000000000000ull);
    } else if (a == "--seed" && i + 1 < argc) {
      seeds = {std::strtoull(argv[++i], nullptr, 10)};
      single = true;
    } else if (a == "--keep" && i + 1 < argc) {
      for (const char* p = argv[++i]; *p;) {
        char* end = nullptr;
        const unsigned long k = std::strtoul(p, &end, 10);
        if (end == p) return Usage();
        if (keep.size() <= k) keep.resize(k + 1, false);
        keep[k] = true;
        p = *end == ',' ? end + 1 : end;
      }
    } else {
      return Usage();
    }
  }
  if (seeds.empty()) return Usage();
  if (shrinkLimit < 0) shrinkLimit = random ? 0 : static_cast<long>(seeds.size());
  Scratch scratch;
  if (!MakeScratch(scratch)) {
    std::fprintf(stderr, "kov-protocol-soak: cannot prepare a scratch folder\n");
    return 2;
  }
  int passed = 0;
  RunStats total;
  std::vector<std::uint64_t> failed;
  std::signal(SIGINT, AskToStop);
  std::signal(SIGTERM, AskToStop);
  size_t run = 0;
  for (const std::uint64_t seed : seeds) {
    if (g_stop) break;
    const Sequence seq = Generate(seed);
    std::vector<bool> k = keep;
    if (!k.empty()) k.resize(seq.ops.size(), false);
    if (single) PrintHistory(seq, k);
    const RunOutcome r = RunSequence(seq, scratch.server, scratch.work, k);
    total.ops += r.stats.ops;
    total.faults += r.stats.faults;
    total.deletesLostWithServer += r.stats.deletesLostWithServer;
    total.takenOver += r.stats.takenOver;
    total.lostToRacingTakeOver += r.stats.lostToRacingTakeOver;
    total.refusedUnreadable += r.stats.refusedUnreadable;
    total.restoredFields += r.stats.restoredFields;
    if (r.passed) ++passed;
    const size_t done = ++run;
    if (done % 100 == 0 && done < seeds.size())
      std::fprintf(stderr, "%zu of %zu run, %d passed\n", done, seeds.size(), passed);
    if (r.passed) continue;
    failed.push_back(seed);
    if (single)
      std::printf("FAIL seed %llu: %s\n", static_cast<unsigned long long>(seed), r.failure.c_str());
    else
      Report(seq, r, scratch, static_cast<long>(failed.size()) <= shrinkLimit);
  }
  std::printf(
      "%d of %zu sequences passed (%d operations, %d of them faults; %d rows reported taken "
      "over, each found in the server's accounts; %d deletes lost with a killed server; %d saved "
      "rows emptied unread by the server before a crash; %d saves and loads refused for the "
      "unreadable update file; %d fields restored from backups)\n",
      passed, run, total.ops, total.faults, total.takenOver, total.deletesLostWithServer,
      total.lostToRacingTakeOver, total.refusedUnreadable, total.restoredFields);
  if (run < seeds.size()) std::printf("stopped after %zu of %zu sequences\n", run, seeds.size());
  if (!failed.empty()) {
    std::printf("failing seeds:");
    for (auto s : failed) std::printf(" %llu", static_cast<unsigned long long>(s));
    std::printf("\n");
  }
  return failed.empty() && run == seeds.size() ? 0 : 1;
}
