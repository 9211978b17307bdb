#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace kov {

// Runs a helper program (tmux, screen) from an argument vector, never through a shell,
// feeding it input and collecting its standard output, and kills it when the deadline
// passes: a missing or hanging tool must not freeze the window that called it.
class ToolRunner {
 public:
  using Clock = std::chrono::steady_clock;

  struct Result {
    bool started = false;   // false: the program could not be run (missing, not executable)
    bool timedOut = false;  // killed at the deadline
    int exitStatus = -1;    // exit code when it ended normally, -1 otherwise
    std::string output;     // standard output; standard error is discarded
    bool Succeeded() const { return started && !timedOut && exitStatus == 0; }
  };

  // env: the complete environment of the child ("NAME=value"); empty means ours.
  static Result Run(const std::vector<std::string>& argv, const std::string& input,
                    Clock::time_point deadline, const std::vector<std::string>& env = {});
};

// Blocks SIGPIPE on the calling thread while alive, so that writing to a pipe whose
// reader has gone gives EPIPE instead of ending the program; a SIGPIPE raised meanwhile
// is consumed before the mask is restored.
class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  bool m_wasPending = false;
  bool m_wasBlocked = false;
};

}  // namespace kov
