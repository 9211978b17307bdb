// The Linux console bridge against real processes: a copy of cat under a server-like path
// stands in for the server, with a named pipe, a terminal or /dev/null as its input.
#ifdef __linux__

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "console/ServerConsole.h"
#include "console/linux/LinuxServerConsole.h"
#include "console/linux/ProcFs.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kov::ConsoleStatus;

extern char** environ;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteScript(const fs::path& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  fs::permissions(path, fs::perms::owner_all);
}

// How a child on a terminal holds it.
enum class Tty {
  Controlling,  // a session of its own with the terminal as its controlling terminal, in
                // the foreground, as tmux and screen start a program
  Borrowed,     // opened in our session without becoming its controlling terminal
};

// A process started from a file of our choosing, killed at the end of the test.
class Child {
 public:
  // stdinPath: a file to open as standard input (O_RDWR for terminals, O_RDONLY otherwise).
  Child(const fs::path& program, const std::string& stdinPath, const fs::path& stdoutPath,
        const std::vector<std::string>& extraEnv = {}, std::vector<std::string> args = {},
        Tty tty = Tty::Controlling) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    int inFlags = O_RDONLY;
    if (stdinPath.rfind("/dev/pts/", 0) == 0) {
      inFlags = O_RDWR;
      if (tty == Tty::Controlling) {
        // The session leader's first terminal opened becomes its controlling terminal.
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
      } else {
        inFlags |= O_NOCTTY;
      }
    }
    posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), inFlags, 0);
    posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e;
      if (entry.rfind("TMUX", 0) != 0 && entry.rfind("STY=", 0) != 0) env.push_back(entry);
    }
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string name = program.string();
    args.insert(args.begin(), name);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = ::posix_spawn(&m_pid, name.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) m_pid = -1;
    // Until the child has exec'd, its path is ours; while the new program is being loaded,
    // its environment reads empty.
    for (int i = 0; i < 200 && m_pid > 0; ++i) {
      char buffer[4096];
      std::string link = "/proc/" + std::to_string(m_pid) + "/exe";
      ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
      if (n > 0 && std::string(buffer, n).find(program.filename().string()) != std::string::npos &&
          !kov::procfs::Environment(static_cast<std::uint32_t>(m_pid)).empty()) {
        break;
      }
      std::this_thread::sleep_for(5ms);
    }
  }
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t Pid() const { return m_pid; }
  void Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

 private:
  pid_t m_pid = -1;
};

// Waits until the process's /proc/PID/stat fulfils the condition.
bool WaitForStat(pid_t pid, const std::function<bool(const kov::procfs::ProcessStat&)>& done) {
  for (int i = 0; i < 500; ++i) {
    auto stat = kov::procfs::Stat(static_cast<std::uint32_t>(pid));
    if (stat && done(*stat)) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

class LinuxServerConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kov-console-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    m_dir = pattern;
    fs::create_directories(m_dir / "Server");
    m_server = m_dir / "Server" / "VornexServer";
    fs::copy_file("/bin/cat", m_server);
    m_fifo = m_dir / "console.fifo";
    ASSERT_EQ(::mkfifo(m_fifo.c_str(), 0600), 0);
    // Held open for writing, so the server never sees the end of its input.
    m_keeper = ::open(m_fifo.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(m_keeper, 0);
  }
  void TearDown() override {
    if (m_keeper >= 0) ::close(m_keeper);
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  // Waits until the file holds at least the expected bytes.
  std::string WaitForOutput(const fs::path& path, std::size_t bytes) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
      text = ReadFile(path);
      if (text.size() >= bytes) break;
      std::this_thread::sleep_for(10ms);
    }
    return text;
  }

  fs::path m_dir;
  fs::path m_server;
  fs::path m_fifo;
  int m_keeper = -1;
};

TEST_F(LinuxServerConsoleTest, ServerIsFoundByItsFullPathIgnoringCaseOnly) {
  Child server(m_server, m_fifo, m_dir / "out.txt");
  ASSERT_GT(server.Pid(), 0);
  fs::create_directory_symlink(m_dir / "Server", m_dir / "link");

  struct Case {
    std::string setting;
    bool found;
  };
  const std::vector<Case> cases = {
      {m_server.string(), true},
      {(m_dir / "SERVER" / "vornexserver").string(), true},  // letter case only
      {(m_dir / "link" / "VornexServer").string(), true},    // through a symbolic link
      {"VornexServer", false},                               // bare file name
      {(m_dir / "Server").string(), false},                  // its folder
      {(m_dir / "Server").string() + "/", false},
      {m_server.string() + " ", false},  // no trimming
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kov::PlatformServerConsole().IsServerRunning(c.setting), c.found) << c.setting;
  }
  EXPECT_EQ(kov::FindServerConsoleWindow(m_server.string()),
            static_cast<kov::ConsoleWindow>(server.Pid()));
  EXPECT_EQ(kov::ProcessPathOfWindow(server.Pid()), m_server.string());

  server.Stop();
  EXPECT_FALSE(kov::PlatformServerConsole().IsServerRunning(m_server.string()));
  EXPECT_EQ(kov::PlatformServerConsole().SendConsoleCommand("A", m_server.string()).status,
            ConsoleStatus::HandleNotFound);
}

TEST_F(LinuxServerConsoleTest, ProcessListHoldsOurselvesWithFullPath) {
  std::vector<kov::ProcessEntry> list;
  ASSERT_TRUE(kov::ListRunningProcesses(list));
  auto self = fs::read_symlink("/proc/self/exe").string();
  bool found = false;
  for (const auto& p : list) {
    if (p.pid == static_cast<std::uint32_t>(::getpid())) {
      found = true;
      EXPECT_TRUE(p.fullPath);
      EXPECT_EQ(p.path, self);
      EXPECT_GT(p.startTime, 0u);
    }
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(kov::ProcessPathOfWindow(0), "");
}

TEST_F(LinuxServerConsoleTest, ReplacedBinaryStillMatches) {
  Child server(m_server, m_fifo, m_dir / "out.txt");
  ASSERT_GT(server.Pid(), 0);
  // An update replaced the file under the running server: /proc shows " (deleted)".
  fs::remove(m_server);
  fs::copy_file("/bin/cat", m_server);
  EXPECT_TRUE(kov::PlatformServerConsole().IsServerRunning(m_server.string()));
}

TEST_F(LinuxServerConsoleTest, MostRecentlyStartedInstanceReceivesTheCommand) {
  fs::path fifo2 = m_dir / "second.fifo";
  ASSERT_EQ(::mkfifo(fifo2.c_str(), 0600), 0);
  int keeper2 = ::open(fifo2.c_str(), O_RDWR | O_CLOEXEC);
  Child first(m_server, m_fifo, m_dir / "first.txt");
  // Start times count in clock ticks (usually 10 ms).
  std::this_thread::sleep_for(50ms);
  Child second(m_server, fifo2, m_dir / "second.txt");
  EXPECT_EQ(kov::FindServerConsoleWindow(m_server.string()),
            static_cast<kov::ConsoleWindow>(second.Pid()));
  EXPECT_TRUE(
      kov::PlatformServerConsole().SendConsoleCommand("SAVE", m_server.string()).Delivered());
  EXPECT_EQ(WaitForOutput(m_dir / "second.txt", 5), "SAVE\n");
  EXPECT_EQ(ReadFile(m_dir / "first.txt"), "");
  ::close(keeper2);
}

TEST_F(LinuxServerConsoleTest, NamedPipeReceivesTheLineByteForByte) {
  Child server(m_server, m_fifo, m_dir / "out.txt");
  const std::string command = "ACCOUNT \"J\xE9r\xF4me\" DELETE; -x $(id) #{pane_id} ^M \\";
  auto result = kov::PlatformServerConsole().SendConsoleCommand(
      command, (m_dir / "server" / "VORNEXSERVER").string());
  EXPECT_EQ(result.status, ConsoleStatus::Delivered) << result.reason;
  EXPECT_EQ(WaitForOutput(m_dir / "out.txt", command.size() + 1), command + "\n");

  auto refused = kov::PlatformServerConsole().SendConsoleCommand("A\nEXIT", m_server.string());
  EXPECT_EQ(refused.status, ConsoleStatus::Refused);
}

TEST_F(LinuxServerConsoleTest, FullPipeFailsAtOnceWithoutHanging) {
  // sleep never reads: once the pipe is full, the next line cannot go in.
  fs::path sleeper = m_dir / "Server" / "Sleeper";
  fs::copy_file("/bin/sleep", sleeper);
  Child server(sleeper, m_fifo, m_dir / "out.txt", {}, {"30"});
  ::fcntl(m_keeper, F_SETFL, O_NONBLOCK);
  std::string block(4096, 'x');
  while (::write(m_keeper, block.data(), block.size()) > 0) {
  }
  auto start = std::chrono::steady_clock::now();
  auto result = kov::PlatformServerConsole().SendConsoleCommand("A", sleeper.string());
  EXPECT_EQ(result.status, ConsoleStatus::EditFieldNotFound) << result.reason;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST_F(LinuxServerConsoleTest, InputThatIsNoConsoleGivesEditFieldNotFound) {
  fs::path sleeper = m_dir / "Server" / "Sleeper";
  fs::copy_file("/bin/sleep", sleeper);
  Child server(sleeper, "/dev/null", m_dir / "out.txt", {}, {"30"});
  auto result = kov::PlatformServerConsole().SendConsoleCommand("A", sleeper.string());
  EXPECT_EQ(result.status, ConsoleStatus::EditFieldNotFound);
  EXPECT_EQ(result.MessageText(), "Edit field handle not found!");
}

TEST_F(LinuxServerConsoleTest, StoppedServerOnAPipeGetsNothingWritten) {
  Child server(m_server, m_fifo, m_dir / "out.txt");
  ASSERT_GT(server.Pid(), 0);
  ::kill(server.Pid(), SIGSTOP);
  ASSERT_TRUE(WaitForStat(server.Pid(), [](const auto& s) { return s.state == 'T'; }));

  auto result =
      kov::PlatformServerConsole().SendConsoleCommand("ACCOUNT bob DELETE", m_server.string());
  EXPECT_EQ(result.status, ConsoleStatus::EditFieldNotFound);
  EXPECT_NE(result.reason.find("stopped"), std::string::npos) << result.reason;
  EXPECT_EQ(result.NoticeText(), "Edit field handle not found!\n" + result.reason);

  ::kill(server.Pid(), SIGCONT);
  ASSERT_TRUE(WaitForStat(server.Pid(), [](const auto& s) { return s.state != 'T'; }));
  EXPECT_TRUE(
      kov::PlatformServerConsole().SendConsoleCommand("SAVE", m_server.string()).Delivered());
  // The refused line would have waited in the pipe and come first.
  EXPECT_EQ(WaitForOutput(m_dir / "out.txt", 5), "SAVE\n");
}

class TerminalServerTest : public LinuxServerConsoleTest {
 protected:
  void SetUp() override {
    LinuxServerConsoleTest::SetUp();
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(m_master, 0);
    ASSERT_EQ(::grantpt(m_master), 0);
    ASSERT_EQ(::unlockpt(m_master), 0);
    m_tty = ::ptsname(m_master);
  }
  void TearDown() override {
    ::close(m_master);
    for (int fd : m_moreMasters) ::close(fd);
    LinuxServerConsoleTest::TearDown();
  }
  // Another terminal, for a server of its own.
  std::string NewTerminal() {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return {};
    m_moreMasters.push_back(master);
    return ::ptsname(master);
  }
  kov::LinuxServerConsole ConsoleWith(const std::string& tmux, const std::string& screen,
                                      std::chrono::milliseconds timeout) {
    kov::LinuxServerConsole::Options options;
    options.tmuxProgram = tmux;
    options.screenProgram = screen;
    options.timeout = timeout;
    return kov::LinuxServerConsole(options);
  }

  int m_master = -1;
  std::string m_tty;
  std::vector<int> m_moreMasters;
};

TEST_F(TerminalServerTest, MissingOrHangingToolsGiveEditFieldNotFoundInTime) {
  WriteScript(m_dir / "hang", "sleep 30");
  WriteScript(m_dir / "fail", "exit 1");
  // A tmux socket named by the server's environment, and a screen session, so that both
  // tools are asked.
  Child server(
      m_server, m_tty, m_dir / "out.txt",
      {"TMUX=" + (m_dir / "sock").string() + ",1,0", "TMUX_PANE=%0", "STY=1.srv", "WINDOW=0"});
  ASSERT_GT(server.Pid(), 0);
  std::ofstream(m_dir / "sock") << "";

  struct Case {
    std::string tmux, screen;
  };
  const std::vector<Case> cases = {
      {(m_dir / "missing-tmux").string(), (m_dir / "missing-screen").string()},
      {(m_dir / "hang").string(), (m_dir / "missing-screen").string()},
      {(m_dir / "missing-tmux").string(), (m_dir / "hang").string()},
      {(m_dir / "fail").string(), (m_dir / "fail").string()},
  };
  for (const auto& c : cases) {
    auto console = ConsoleWith(c.tmux, c.screen, 400ms);
    auto start = std::chrono::steady_clock::now();
    auto result = console.SendConsoleCommand("A", m_server.string());
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, ConsoleStatus::EditFieldNotFound)
        << c.tmux << " " << c.screen << ": " << result.reason;
    EXPECT_LT(took, 2s) << c.tmux << " " << c.screen;
  }
}

TEST_F(TerminalServerTest, ServerEndingWhileTheConsoleIsSoughtGivesHandleNotFound) {
  Child server(m_server, m_tty, m_dir / "out.txt", {"TMUX=" + (m_dir / "sock").string() + ",1,0"});
  ASSERT_GT(server.Pid(), 0);
  std::ofstream(m_dir / "sock") << "";
  // The "tmux" asked for the panes ends the server first, as if it had quit just then.
  // (SIGKILL takes effect a moment after kill returns: wait until the server is a zombie.)
  const std::string pid = std::to_string(server.Pid());
  WriteScript(m_dir / "tmux", "kill -9 " + pid + "; while [ -e /proc/" + pid +
                                  " ] && ! grep -q 'State:.*Z' /proc/" + pid +
                                  "/status; do sleep 0.01; done; exit 1");
  auto console = ConsoleWith((m_dir / "tmux").string(), (m_dir / "missing").string(), 2s);
  auto result = console.SendConsoleCommand("A", m_server.string());
  EXPECT_EQ(result.status, ConsoleStatus::HandleNotFound) << result.reason;
}

TEST_F(TerminalServerTest, ServerThatWouldNotReadItsTerminalIsNeverTypedInto) {
  // Tools that note each call: for such a server not even the console may be looked up.
  const fs::path calls = m_dir / "tool-calls.txt";
  WriteScript(m_dir / "tool", "echo \"$0 $*\" >>'" + calls.string() + "'; exit 1");
  const fs::path shell = m_dir / "Server" / "Shell";
  fs::copy_file("/bin/bash", shell);
  std::ofstream(m_dir / "sock") << "";
  const std::vector<std::string> env = {"TMUX=" + (m_dir / "sock").string() + ",1,0",
                                        "TMUX_PANE=%0", "STY=1.srv", "WINDOW=0"};
  auto console = ConsoleWith((m_dir / "tool").string(), (m_dir / "tool").string(), 2s);

  enum class Kind { Foreground, Stopped, ChildInForeground, NotControllingTerminal };
  struct Case {
    std::string what;
    Kind kind;
    std::string refusal;  // a part of the reason; empty: the tools are asked
  };
  const std::vector<Case> cases = {
      {"stopped with SIGSTOP", Kind::Stopped, "stopped"},
      // As a shell running a program in the foreground, or a server suspended with Ctrl-Z
      // whose shell took the terminal back.
      {"another process group in the foreground", Kind::ChildInForeground,
       "another program is in the foreground"},
      {"terminal opened without becoming the controlling one", Kind::NotControllingTerminal,
       "not its controlling terminal"},
      {"in the foreground (the tools are asked)", Kind::Foreground, ""},
  };
  for (const auto& c : cases) {
    fs::remove(calls);
    const std::string tty = NewTerminal();
    ASSERT_FALSE(tty.empty());
    fs::path program = m_server;
    std::vector<std::string> args;
    Tty mode = Tty::Controlling;
    if (c.kind == Kind::ChildInForeground) {
      program = shell;
      // An interactive shell puts sleep into a group of its own and gives it the terminal.
      args = {"--norc", "--noprofile", "-i", "-c", "sleep 30; :"};
    } else if (c.kind == Kind::NotControllingTerminal) {
      mode = Tty::Borrowed;
    }
    Child server(program, tty, m_dir / "out.txt", env, args, mode);
    ASSERT_GT(server.Pid(), 0) << c.what;
    if (c.kind == Kind::Stopped) {
      ::kill(server.Pid(), SIGSTOP);
      ASSERT_TRUE(WaitForStat(server.Pid(), [](const auto& s) { return s.state == 'T'; }));
    } else if (c.kind == Kind::ChildInForeground) {
      // Until sleep has replaced the shell's copy of itself in the child, that copy would
      // be taken for the most recently started server.
      ASSERT_TRUE(WaitForStat(server.Pid(), [&](const auto& s) {
        return s.tpgid > 0 && s.tpgid != s.pgrp &&
               kov::procfs::ExecutablePath(static_cast<std::uint32_t>(s.tpgid)) != shell.string();
      })) << c.what;
    }

    auto result = console.SendConsoleCommand("touch pwned", program.string());
    EXPECT_EQ(result.status, ConsoleStatus::EditFieldNotFound) << c.what << ": " << result.reason;
    if (c.refusal.empty()) {
      EXPECT_TRUE(fs::exists(calls)) << c.what;
    } else {
      EXPECT_NE(result.reason.find(c.refusal), std::string::npos)
          << c.what << ": " << result.reason;
      EXPECT_FALSE(fs::exists(calls)) << c.what << ": " << ReadFile(calls);
    }
  }
}

}  // namespace

#endif  // __linux__
