// Reading /proc/PID/stat, and whether a line written to the server's input now would be read
// by the server itself.
#ifdef __linux__

#include <gtest/gtest.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "console/linux/ProcFs.h"

namespace {

using kov::procfs::InputRefusal;
using kov::procfs::ParseStat;
using kov::procfs::ProcessStat;

// A /proc/PID/stat line as the kernel writes it (52 fields), with the fields the console
// reads set and the others as a sleeping server on a terminal has them.
std::string StatLine(const std::string& comm, char state, long pgrp, long ttyNr, long tpgid,
                     unsigned long long startTime) {
  return "4242 (" + comm + ") " + state + " 1 " + std::to_string(pgrp) + " 4242 " +
         std::to_string(ttyNr) + " " + std::to_string(tpgid) +
         " 4194560 310 0 0 0 2 1 0 0 20 0 1 0 " + std::to_string(startTime) +
         " 5992448 369 18446744073709551615 94552137568256 94552137589617 140724691316064 0 0 0 "
         "0 0 1 0 0 17 1 0 0 0 0 0 94552137604240 94552137605856 94552165355520 "
         "140724691322693 140724691322745 140724691322745 140724691324907 0\n";
}

// tty_nr as the kernel packs a device number.
long TtyNr(unsigned major, unsigned minor) {
  return static_cast<long>((minor & 0xff) | (major << 8) | ((minor & ~0xffu) << 12));
}

TEST(ParseStat, FieldsCountFromTheLastParenthesis) {
  struct Case {
    std::string what;
    std::string text;
    bool parsed;
    char state;
    long pgrp, ttyNr, tpgid;
  };
  const long pts3 = TtyNr(136, 3);
  const std::vector<Case> cases = {
      {"sleeping in the foreground", StatLine("VornexServer", 'S', 4242, pts3, 4242, 9876543), true,
       'S', 4242, pts3, 4242},
      {"name with blanks and parentheses",
       StatLine("my (vornex) server", 'R', 4242, pts3, 4242, 9876543), true, 'R', 4242, pts3, 4242},
      // A name crafted to look like other fields: read from its first ")" the server would
      // seem stopped, in another group.
      {"name holding \") T 1 99\"", StatLine("x) T 1 99 99 0 99 ", 'S', 4242, pts3, 4242, 9876543),
       true, 'S', 4242, pts3, 4242},
      {"name that is only \")\"", StatLine(")", 'S', 4242, pts3, 4242, 9876543), true, 'S', 4242,
       pts3, 4242},
      {"stopped", StatLine("VornexServer", 'T', 4242, pts3, 4100, 9876543), true, 'T', 4242, pts3,
       4100},
      {"tracing stop", StatLine("VornexServer", 't', 4242, pts3, 4242, 9876543), true, 't', 4242,
       pts3, 4242},
      {"in the background", StatLine("VornexServer", 'S', 4242, pts3, 4100, 9876543), true, 'S',
       4242, pts3, 4100},
      {"no controlling terminal", StatLine("VornexServer", 'S', 4242, 0, -1, 9876543), true, 'S',
       4242, 0, -1},
      {"cut short", "4242 (VornexServer) S 1 4242 4242 34819", false},
      {"cut in the name", "4242 (Vornex", false},
      {"no parentheses", "4242 VornexServer S 1 4242 4242 34819 4242", false},
      {"state of two letters",
       StatLine("VornexServer", 'S', 4242, pts3, 4242, 9876543).replace(20, 1, "SS"), false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    auto stat = ParseStat(c.text);
    ASSERT_EQ(stat.has_value(), c.parsed) << c.what;
    if (!stat) continue;
    EXPECT_EQ(stat->state, c.state) << c.what;
    EXPECT_EQ(stat->pgrp, c.pgrp) << c.what;
    EXPECT_EQ(stat->ttyNr, c.ttyNr) << c.what;
    EXPECT_EQ(stat->tpgid, c.tpgid) << c.what;
    EXPECT_EQ(stat->startTime, 9876543u) << c.what;
  }
}

TEST(ParseStat, OwnProcessReadsAsRunningInItsGroup) {
  auto stat = kov::procfs::Stat(static_cast<std::uint32_t>(::getpid()));
  ASSERT_TRUE(stat.has_value());
  EXPECT_EQ(stat->state, 'R');
  EXPECT_EQ(stat->pgrp, ::getpgrp());
  EXPECT_EQ(stat->startTime, kov::procfs::StartTime(static_cast<std::uint32_t>(::getpid())));
}

TEST(InputRefusal, OnlyARunningServerInItsTerminalsForegroundReadsTheLine) {
  auto stat = [](char state, long ttyNr, long tpgid) {
    ProcessStat s;
    s.state = state;
    s.pgrp = 4242;
    s.ttyNr = ttyNr;
    s.tpgid = tpgid;
    return s;
  };
  const std::uint64_t pts3 = makedev(136, 3);
  const std::uint64_t pts300 = makedev(136, 300);
  struct Case {
    std::string what;
    ProcessStat stat;
    std::optional<std::uint64_t> terminal;  // nullopt: a pipe
    std::string refusal;                    // a part of the reason; empty: not refused
  };
  const std::vector<Case> cases = {
      {"foreground, sleeping", stat('S', TtyNr(136, 3), 4242), pts3, ""},
      {"foreground, running", stat('R', TtyNr(136, 3), 4242), pts3, ""},
      {"foreground, disk wait", stat('D', TtyNr(136, 3), 4242), pts3, ""},
      {"foreground on a terminal numbered above 255", stat('S', TtyNr(136, 300), 4242), pts300, ""},
      {"stopped (Ctrl-Z, SIGSTOP)", stat('T', TtyNr(136, 3), 4100), pts3, "stopped"},
      {"stopped, still the foreground group", stat('T', TtyNr(136, 3), 4242), pts3, "stopped"},
      {"tracing stop", stat('t', TtyNr(136, 3), 4242), pts3, "debugger"},
      {"background: a shell has the terminal", stat('S', TtyNr(136, 3), 4100), pts3,
       "another program is in the foreground"},
      {"no controlling terminal", stat('S', 0, -1), pts3, "not its controlling terminal"},
      {"controlling terminal is another one", stat('S', TtyNr(136, 4), 4242), pts3,
       "not its controlling terminal"},
      {"terminals differing above minor 255", stat('S', TtyNr(136, 44), 4242), pts300,
       "not its controlling terminal"},
      {"pipe, running in the background", stat('S', TtyNr(136, 3), 4100), std::nullopt, ""},
      {"pipe, no terminal at all", stat('S', 0, -1), std::nullopt, ""},
      {"pipe, stopped", stat('T', 0, -1), std::nullopt, "stopped"},
  };
  for (const auto& c : cases) {
    auto refusal = InputRefusal(c.stat, c.terminal);
    if (c.refusal.empty()) {
      EXPECT_FALSE(refusal.has_value()) << c.what << ": " << refusal.value_or("");
    } else {
      ASSERT_TRUE(refusal.has_value()) << c.what;
      EXPECT_NE(refusal->find(c.refusal), std::string::npos) << c.what << ": " << *refusal;
    }
  }
}

}  // namespace

#endif  // __linux__
