#include "StandInProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "store/Files.h"

namespace kov::protocol {

namespace {

using Clock = std::chrono::steady_clock;

int CountLines(const std::string& path, const std::string& text) {
  std::string bytes;
  if (!ReadAllBytes(path, bytes)) return 0;
  int n = 0;
  for (size_t at = bytes.find(text); at != std::string::npos; at = bytes.find(text, at + 1)) ++n;
  return n;
}

}  // namespace

StandInProcess::StandInProcess(std::string executable, std::string folder)
    : m_executable(std::move(executable)),
      m_folder(std::move(folder)),
      m_fifo(m_folder + "/console.fifo"),
      m_output(m_folder + "/server.out") {
  ::mkfifo(m_fifo.c_str(), 0600);
  m_fifoFd = ::open(m_fifo.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
}

StandInProcess::~StandInProcess() {
  Kill();
  if (m_fifoFd >= 0) ::close(m_fifoFd);
}

char StandInProcess::State() const {
  std::string stat;
  if (m_pid <= 0 || !ReadAllBytes("/proc/" + std::to_string(m_pid) + "/stat", stat)) return 0;
  const size_t paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() ? stat[paren + 2] : 0;
}

bool StandInProcess::Start(int takeOverDelayMs, std::string& error) {
  if (m_fifoFd < 0) {
    error = "cannot open the console pipe " + m_fifo;
    return false;
  }
  const int readyBefore = CountLines(m_output, "stand-in ready");
  const std::string accounts = m_folder + "/accounts";
  const std::string delay = std::to_string(takeOverDelayMs);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(m_fifo.c_str(), O_RDONLY);
    const int out = ::open(m_output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (in < 0 || out < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execl(m_executable.c_str(), m_executable.c_str(), "--accounts", accounts.c_str(),
            "--takeover-delay", delay.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid < 0) {
    error = "fork failed";
    return false;
  }
  m_pid = pid;
  m_stopped = false;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (CountLines(m_output, "stand-in ready") == readyBefore) {
    int status = 0;
    const bool ended = ::waitpid(m_pid, &status, WNOHANG) == m_pid;
    if (ended || Clock::now() > deadline) {
      if (!ended) Kill();
      m_pid = -1;
      std::string said;
      ReadAllBytes(m_output, said);
      error = "the stand-in server did not start (" +
              (ended ? "exit status " + std::to_string(status) : std::string("no answer")) +
              "); it said:\n" + said;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void StandInProcess::Kill() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
  m_pid = -1;
  m_stopped = false;
  // A new server on this pipe must not read what the killed one left unread.
  char buffer[4096];
  while (m_fifoFd >= 0 && ::read(m_fifoFd, buffer, sizeof buffer) > 0) {
  }
}

void StandInProcess::Stop() {
  if (m_pid <= 0 || m_stopped) return;
  ::kill(m_pid, SIGSTOP);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (State() != 'T' && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  m_stopped = true;
}

void StandInProcess::Continue() {
  if (m_pid <= 0 || !m_stopped) return;
  ::kill(m_pid, SIGCONT);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (State() == 'T' && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  m_stopped = false;
}

int StandInProcess::Said(const std::string& text) const { return CountLines(m_output, text); }

}  // namespace kov::protocol
