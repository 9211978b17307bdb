#pragma once
// The stand-in server as a child process with a named pipe as its console, as an operator
// runs it from a script: started, stopped, continued, killed and started again.
#include <sys/types.h>

#include <string>

namespace kov::protocol {

class StandInProcess {
 public:
  // `executable` is a copy of the server at a path no other test uses: the program finds
  // the server by that path. The folder holds the account files, the pipe and the output.
  StandInProcess(std::string executable, std::string folder);
  ~StandInProcess();
  StandInProcess(const StandInProcess&) = delete;
  StandInProcess& operator=(const StandInProcess&) = delete;

  // False (with `error`) when it did not report itself ready within a few seconds.
  bool Start(int takeOverDelayMs, std::string& error);
  void Kill();  // SIGKILL; lines still in the pipe are dropped with it
  void Stop();  // SIGSTOP; returns once the process is stopped
  void Continue();
  bool Running() const { return m_pid > 0; }
  bool Stopped() const { return m_stopped; }
  // How often the server's output holds `text`.
  int Said(const std::string& text) const;
  const std::string& Executable() const { return m_executable; }

 private:
  char State() const;  // the state letter of /proc/PID/stat, or 0
  std::string m_executable;
  std::string m_folder;
  std::string m_fifo;
  std::string m_output;
  int m_fifoFd = -1;  // held open for reading and writing: the server never sees the end
  pid_t m_pid = -1;
  bool m_stopped = false;
};

}  // namespace kov::protocol
