#include "console/linux/ToolRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

extern char** environ;

namespace kov {

namespace {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return m_fd; }
  void Reset(int fd) {
    Close();
    m_fd = fd;
  }
  void Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }

 private:
  int m_fd = -1;
};

bool MakePipe(Fd& readEnd, Fd& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd.Reset(fds[0]);
  writeEnd.Reset(fds[1]);
  return true;
}

void SetNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

void DrainInto(int fd, std::string& out, bool& eof) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) eof = true;
    if (n < 0 && errno == EINTR) continue;
    return;
  }
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
  sigset_t pending;
  sigemptyset(&pending);
  ::sigpending(&pending);
  m_wasPending = sigismember(&pending, SIGPIPE) == 1;
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &block, &old);
  m_wasBlocked = sigismember(&old, SIGPIPE) == 1;
}

SigpipeGuard::~SigpipeGuard() {
  if (!m_wasPending) {
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    if (sigismember(&pending, SIGPIPE) == 1) {
      sigset_t only;
      sigemptyset(&only);
      sigaddset(&only, SIGPIPE);
      timespec zero{0, 0};
      while (::sigtimedwait(&only, nullptr, &zero) == -1 && errno == EINTR) {
      }
    }
  }
  if (!m_wasBlocked) {
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, SIGPIPE);
    ::pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
  }
}

ToolRunner::Result ToolRunner::Run(const std::vector<std::string>& argv, const std::string& input,
                                   Clock::time_point deadline,
                                   const std::vector<std::string>& env) {
  Result result;
  if (argv.empty() || Clock::now() >= deadline) return result;

  Fd inRead, inWrite, outRead, outWrite;
  if (!MakePipe(inRead, inWrite) || !MakePipe(outRead, outWrite)) return result;

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inRead.Get(), 0);
  posix_spawn_file_actions_adddup2(&actions, outWrite.Get(), 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  // Own process group, so a timed-out tool is killed with anything it started; default
  // signal handling, whatever the calling program has blocked or ignored.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGHUP);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, args[0], &actions, &attr, args.data(),
                          env.empty() ? environ : envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return result;
  result.started = true;
  inRead.Close();
  outWrite.Close();

  SigpipeGuard sigpipe;
  SetNonBlocking(inWrite.Get());
  SetNonBlocking(outRead.Get());
  std::size_t written = 0;
  if (input.empty()) inWrite.Close();
  bool outEof = false;
  int status = 0;
  bool exited = false;

  while (!exited) {
    auto now = Clock::now();
    if (now >= deadline) break;
    pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (w == pid || (w < 0 && errno == ECHILD)) {
      exited = true;  // ECHILD: the caller ignores SIGCHLD, the status is lost
      if (w < 0) status = -1;
      break;
    }
    pollfd fds[2];
    nfds_t n = 0;
    if (!outEof) fds[n++] = {outRead.Get(), POLLIN, 0};
    if (inWrite.Get() >= 0) fds[n++] = {inWrite.Get(), POLLOUT, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    int wait = static_cast<int>(left < 10 ? (left < 1 ? 1 : left) : 10);
    if (n == 0) {
      ::poll(nullptr, 0, wait);
      continue;
    }
    if (::poll(fds, n, wait) < 0 && errno != EINTR) break;
    if (!outEof) DrainInto(outRead.Get(), result.output, outEof);
    if (inWrite.Get() >= 0) {
      ssize_t k = ::write(inWrite.Get(), input.data() + written, input.size() - written);
      if (k > 0) written += static_cast<std::size_t>(k);
      if ((k < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
        inWrite.Close();
      }
    }
  }

  if (!exited) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.timedOut = true;
    return result;
  }
  if (!outEof) DrainInto(outRead.Get(), result.output, outEof);
  if (status != -1 && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  return result;
}

}  // namespace kov
