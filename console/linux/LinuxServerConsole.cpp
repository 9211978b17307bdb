#include "console/linux/LinuxServerConsole.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "console/linux/ProcFs.h"

extern char** environ;

namespace kov {

namespace {

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

// Ctrl-U first: the terminal's line-kill character throws away whatever the operator had
// half-typed in the console, so it is neither sent nor glued in front of our command.
constexpr char kLineKill = '\x15';

constexpr char kNoConsoleText[] =
    "no tmux pane, screen window or pipe feeds the server's standard input";

std::optional<std::string> StdinPath(std::uint32_t pid) {
  std::string link = "/proc/" + std::to_string(pid) + "/fd/0";
  char buffer[PATH_MAX];
  ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

bool IsTerminalPath(const std::string& path) {
  return path.rfind("/dev/pts/", 0) == 0 || path.rfind("/dev/tty", 0) == 0;
}

std::string TrimLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

// Why the server itself would not read a line written to its input now.
std::optional<std::string> ServerInputRefusal(const ProcessEntry& server, bool terminal) {
  auto stat = procfs::Stat(server.pid);
  if (!stat) return "the server has ended";
  std::optional<std::uint64_t> device;
  if (terminal) {
    struct stat st;
    std::string fd0 = "/proc/" + std::to_string(server.pid) + "/fd/0";
    if (::stat(fd0.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
      return "the server's terminal cannot be examined";
    }
    device = st.st_rdev;
  }
  return procfs::InputRefusal(*stat, device);
}

std::vector<std::string> TmuxSockets(const std::vector<std::string>& serverEnv) {
  std::vector<std::string> sockets;
  if (auto tmux = procfs::EnvironmentValue(serverEnv, "TMUX")) {
    std::string socket = tmux->substr(0, tmux->find(','));
    if (!socket.empty()) sockets.push_back(socket);
  }
  const char* tmpdir = ::getenv("TMUX_TMPDIR");
  std::string dir =
      std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/tmux-" + std::to_string(::getuid());
  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
  if (!d) return sockets;
  while (dirent* e = ::readdir(d.get())) {
    std::string path = dir + "/" + e->d_name;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    bool known = false;
    for (const auto& s : sockets) known = known || s == path;
    if (!known) sockets.push_back(path);
  }
  return sockets;
}

// Our environment with SCREENDIR as the server had it: the session's socket lies there.
std::vector<std::string> ScreenEnvironment(const std::vector<std::string>& serverEnv) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "SCREENDIR=", 10) != 0 && std::strncmp(*e, "STY=", 4) != 0) {
      env.emplace_back(*e);
    }
  }
  if (auto dir = procfs::EnvironmentValue(serverEnv, "SCREENDIR")) {
    env.push_back("SCREENDIR=" + *dir);
  }
  return env;
}

class TempFile {
 public:
  explicit TempFile(const std::string& content) {
    const char* tmpdir = ::getenv("TMPDIR");
    std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kov-console-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);  // owner-only (0600)
    if (fd < 0) return;
    m_path = name.data();
    bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok) Remove();
  }
  ~TempFile() { Remove(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return m_path; }
  void Remove() {
    if (!m_path.empty()) ::unlink(m_path.c_str());
    m_path.clear();
  }

 private:
  std::string m_path;
};

}  // namespace

bool LinuxServerConsole::IsServerRunning(const std::string& serverPath) {
  return FindServerConsoleWindow(serverPath) != 0;
}

ConsoleResult LinuxServerConsole::SendConsoleCommand(const std::string& command,
                                                     const std::string& serverPath) {
  if (auto refusal = CommandRefusal(command)) {
    return ConsoleResult::Make(ConsoleStatus::Refused, *refusal);
  }
  auto server = procfs::FindServerProcess(serverPath);
  if (!server) return ConsoleResult::Make(ConsoleStatus::HandleNotFound);

  const auto deadline = ToolRunner::Clock::now() + m_options.timeout;
  Attempt attempt;
  auto stdinPath = StdinPath(server->pid);
  if (stdinPath) {
    const bool terminal = IsTerminalPath(*stdinPath);
    // A stopped or background server leaves its terminal to another program, usually the
    // shell that started it, which would run the line as a shell command.
    const InputCheck inputCheck = [&] { return ServerInputRefusal(*server, terminal); };
    auto env = procfs::Environment(server->pid);
    std::string line = kLineKill + command + "\n";
    if (auto refusal = inputCheck()) {
      attempt = {Outcome::Failed, *refusal};
    } else if (terminal) {
      attempt = TryTmux(*stdinPath, env, line, inputCheck, deadline);
      if (attempt.outcome == Outcome::NotThisWay) {
        attempt = TryScreen(env, line, inputCheck, deadline);
      }
    } else {
      attempt = TryPipe(*server, command);
    }
  } else {
    attempt.note = "the server's standard input cannot be read";
  }

  if (attempt.outcome == Outcome::Delivered) {
    return ConsoleResult::Make(ConsoleStatus::Delivered, attempt.note);
  }
  // A server that ended between the lookup and the typing is simply not running.
  if (!procfs::StillRunning(*server)) return ConsoleResult::Make(ConsoleStatus::HandleNotFound);
  if (attempt.note.empty()) {
    attempt.note = kNoConsoleText;
  }
  return ConsoleResult::Make(ConsoleStatus::EditFieldNotFound, attempt.note);
}

LinuxServerConsole::TmuxPane LinuxServerConsole::FindTmuxPane(
    const std::string& stdinPath, const std::vector<std::string>& serverEnv,
    ToolRunner::Clock::time_point deadline) const {
  const std::string& tmux = m_options.tmuxProgram;
  for (const auto& socket : TmuxSockets(serverEnv)) {
    auto panes = ToolRunner::Run(
        {tmux, "-S", socket, "list-panes", "-a", "-F", "#{pane_id} #{pane_in_mode} #{pane_tty}"},
        {}, deadline);
    if (!panes.started) return {{Outcome::NotThisWay, "tmux cannot be run"}, {}, {}, false};
    if (panes.timedOut) return {{Outcome::Failed, "tmux did not answer in time"}, {}, {}, false};
    if (panes.exitStatus != 0) continue;  // a stale socket or a server we may not use
    std::size_t start = 0;
    while (start < panes.output.size()) {
      auto end = panes.output.find('\n', start);
      if (end == std::string::npos) end = panes.output.size();
      std::string row = panes.output.substr(start, end - start);
      start = end + 1;
      auto first = row.find(' ');
      auto second = first == std::string::npos ? first : row.find(' ', first + 1);
      if (second == std::string::npos || row.substr(second + 1) != stdinPath) continue;
      // The pane id, never a session name: a name could be ambiguous or look like an option.
      return {{Outcome::Delivered, {}}, socket, row.substr(0, first),
              row.substr(first + 1, second - first - 1) != "0"};
    }
  }
  return {};
}

LinuxServerConsole::Attempt LinuxServerConsole::TryTmux(
    const std::string& stdinPath, const std::vector<std::string>& serverEnv,
    const std::string& line, const InputCheck& inputCheck,
    ToolRunner::Clock::time_point deadline) const {
  const std::string& tmux = m_options.tmuxProgram;
  const TmuxPane found = FindTmuxPane(stdinPath, serverEnv, deadline);
  if (found.outcome != Outcome::Delivered) return {found.outcome, found.note};
  const std::string& socket = found.socket;
  const std::string& pane = found.pane;
  if (found.inMode) {
    // The operator scrolling back (or a tree or view mode) hides what the server
    // answers: end every mode of the pane, as its own keys would.
    ToolRunner::Run({tmux, "-S", socket, "copy-mode", "-q", "-t", pane}, {}, deadline);
    auto mode = ToolRunner::Run(
        {tmux, "-S", socket, "display-message", "-p", "-t", pane, "#{pane_in_mode}"}, {}, deadline);
    if (!mode.Succeeded() || TrimLineEnds(mode.output) != "0") {
      return {Outcome::Failed,
              "the server's tmux pane " + pane + " could not be taken out of copy mode"};
    }
  }
  if (auto refusal = inputCheck()) return {Outcome::Failed, *refusal};
  std::string buffer = "kov-console-" + std::to_string(::getpid());
  auto load =
      ToolRunner::Run({tmux, "-S", socket, "load-buffer", "-b", buffer, "-"}, line, deadline);
  if (!load.Succeeded()) return {Outcome::Failed, "tmux load-buffer failed"};
  auto paste = ToolRunner::Run({tmux, "-S", socket, "paste-buffer", "-d", "-b", buffer, "-t", pane},
                               {}, deadline);
  if (paste.Succeeded()) return {Outcome::Delivered, "tmux pane " + pane};
  ToolRunner::Run({tmux, "-S", socket, "delete-buffer", "-b", buffer}, {},
                  ToolRunner::Clock::now() + std::chrono::milliseconds(500));
  return {Outcome::Failed, "tmux paste-buffer failed"};
}

LinuxServerConsole::Attempt LinuxServerConsole::TryScreen(
    const std::vector<std::string>& serverEnv, const std::string& line,
    const InputCheck& inputCheck, ToolRunner::Clock::time_point deadline) const {
  auto sty = procfs::EnvironmentValue(serverEnv, "STY");
  if (!sty || sty->empty()) return {};
  std::string window = procfs::EnvironmentValue(serverEnv, "WINDOW").value_or("0");
  auto env = ScreenEnvironment(serverEnv);
  auto screen = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {m_options.screenProgram, "-S", *sty, "-p", window});
    return ToolRunner::Run(args, {}, deadline, env);
  };

  // "stuff" would expand "$" and "^" sequences; a register read from a file arrives as is.
  TempFile file(line);
  if (file.Path().empty()) return {Outcome::Failed, "no temporary file for screen"};

  // Copy mode and screen's own prompts lie over the window and would take the pasted line
  // for keys. Only "copy" tells whether one is there: on a bare window it enters copy mode,
  // otherwise it complains; its message (on an attached display) says which. A window no
  // display shows takes the copy mode without a word, and a detached session has no
  // messages at all; the marker tells "no message" from an old one.
  const std::string marker = "kov-console-check-" + std::to_string(::getpid());
  auto mark = screen({"-Q", "echo", marker});
  if (!mark.started) return {Outcome::Failed, "screen cannot be run"};
  if (!mark.Succeeded()) return {Outcome::Failed, "screen session " + *sty + " did not answer"};
  if (!screen({"-X", "copy"}).Succeeded()) return {Outcome::Failed, "screen copy failed"};
  auto said = screen({"-Q", "lastmsg"});
  const std::string message = said.Succeeded() ? TrimLineEnds(said.output) : marker;
  const bool entered = message.rfind("Copy mode - ", 0) == 0;
  if (!entered && message != marker) {
    return {Outcome::Failed,
            "the server's screen window " + window +
                " is in copy mode or shows a prompt of screen; leave it and send again"};
  }
  // Escape ends the copy mode just entered, or one kept from before a detach. On a bare
  // window it reaches the server, and the Ctrl-U in front of the line throws it away.
  if (!screen({"-X", "stuff", "\x1b"}).Succeeded()) {
    return {Outcome::Failed, "screen stuff failed"};
  }
  if (entered) {
    auto left = screen({"-Q", "lastmsg"});
    if (!left.Succeeded() || TrimLineEnds(left.output) != "Copy mode aborted") {
      return {Outcome::Failed,
              "the server's screen window " + window + " could not be taken out of copy mode"};
    }
  }
  if (auto refusal = inputCheck()) return {Outcome::Failed, *refusal};

  auto read = screen({"-X", "readreg", "k", file.Path()});
  if (!read.Succeeded()) return {Outcome::Failed, "screen readreg failed"};
  auto paste = screen({"-X", "paste", "k"});
  // screen -X returns before the session has acted; a query is answered only after the
  // commands before it were carried out, so the file is not removed under screen's feet.
  screen({"-Q", "number"});
  if (!paste.Succeeded()) return {Outcome::Failed, "screen paste failed"};
  return {Outcome::Delivered, "screen session " + *sty};
}

LinuxServerConsole::Attempt LinuxServerConsole::TryPipe(const ProcessEntry& server,
                                                        const std::string& command) {
  std::string fd0 = "/proc/" + std::to_string(server.pid) + "/fd/0";
  struct stat st;
  if (::stat(fd0.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) return {};
  std::string line = command + "\n";
  if (line.size() > PIPE_BUF) return {Outcome::Failed, "the command is too long for a pipe"};
  // Non-blocking: no reader (ENXIO) or a full pipe (EAGAIN) fails at once instead of
  // hanging; up to PIPE_BUF bytes go in one piece or not at all.
  int fd = ::open(fd0.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {Outcome::Failed, std::string("pipe: ") + std::strerror(errno)};
  ssize_t n;
  {
    SigpipeGuard guard;
    do {
      n = ::write(fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
  }
  int error = errno;
  ::close(fd);
  if (n == static_cast<ssize_t>(line.size())) return {Outcome::Delivered, "pipe"};
  return {Outcome::Failed, std::string("pipe: ") + std::strerror(n < 0 ? error : EAGAIN)};
}

ServerProbe LinuxServerConsole::ProbeServer(const std::string& serverPath) {
  if (serverPath.empty()) return {ServerState::NotSet, {}};
  auto server = procfs::FindServerProcess(serverPath);
  if (!server) return {ServerState::NotRunning, {}};
  auto unreachable = [&](std::string why) -> ServerProbe {
    if (!procfs::StillRunning(*server)) return {ServerState::NotRunning, {}};
    return {ServerState::Unreachable, std::move(why)};
  };
  if (auto stat = procfs::Stat(server->pid); stat && (stat->state == 'T' || stat->state == 't')) {
    return {ServerState::Stopped, *procfs::InputRefusal(*stat, std::nullopt)};
  }
  auto stdinPath = StdinPath(server->pid);
  if (!stdinPath) return unreachable("the server's standard input cannot be read");
  const bool terminal = IsTerminalPath(*stdinPath);
  if (auto refusal = ServerInputRefusal(*server, terminal)) return unreachable(*refusal);
  if (!terminal) {
    std::string fd0 = "/proc/" + std::to_string(server->pid) + "/fd/0";
    struct stat st;
    if (::stat(fd0.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
      return {ServerState::Reachable, "pipe"};
    }
    return unreachable(kNoConsoleText);
  }
  const auto deadline = ToolRunner::Clock::now() + std::chrono::seconds(2);
  auto env = procfs::Environment(server->pid);
  const TmuxPane pane = FindTmuxPane(*stdinPath, env, deadline);
  if (pane.outcome == Outcome::Delivered) {
    return {ServerState::Reachable, "tmux pane " + pane.pane};
  }
  if (pane.outcome == Outcome::Failed) return unreachable(pane.note);
  if (auto sty = procfs::EnvironmentValue(env, "STY"); sty && !sty->empty()) {
    // A query, answered by the session without touching its windows.
    auto number = ToolRunner::Run({m_options.screenProgram, "-S", *sty, "-Q", "number"}, {},
                                  deadline, ScreenEnvironment(env));
    if (number.Succeeded()) return {ServerState::Reachable, "screen session " + *sty};
    if (!number.started) return unreachable("screen cannot be run");
    return unreachable("screen session " + *sty + " did not answer");
  }
  return unreachable(kNoConsoleText);
}

IServerConsole& PlatformServerConsole() {
  static LinuxServerConsole console;
  return console;
}

}  // namespace kov
