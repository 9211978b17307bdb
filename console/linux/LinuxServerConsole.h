#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/ServerConsole.h"
#include "console/linux/ToolRunner.h"

namespace kov {

// The server's console on Linux is whatever feeds its standard input, tried in this order:
// a tmux pane, a GNU screen window, a named pipe or pipe. Terminal injection (TIOCSTI) is
// never used.
class LinuxServerConsole : public IServerConsole {
 public:
  struct Options {
    std::string tmuxProgram = "tmux";
    std::string screenProgram = "screen";
    // For the whole command: every tool run of one send shares it. Taking a screen window
    // out of copy mode costs about a second: screen shows each message that long.
    std::chrono::milliseconds timeout{5000};
  };

  LinuxServerConsole() = default;
  explicit LinuxServerConsole(Options options) : m_options(std::move(options)) {}

  bool IsServerRunning(const std::string& serverPath) override;
  ConsoleResult SendConsoleCommand(const std::string& command,
                                   const std::string& serverPath) override;
  ServerProbe ProbeServer(const std::string& serverPath) override;

 private:
  enum class Outcome { NotThisWay, Delivered, Failed };
  struct Attempt {
    Outcome outcome = Outcome::NotThisWay;
    std::string note;
  };

  // The tmux pane whose terminal is the server's input. Delivered: found; NotThisWay: no
  // pane has it; Failed: tmux did not answer.
  struct TmuxPane : Attempt {
    std::string socket;
    std::string pane;
    bool inMode = false;
  };
  TmuxPane FindTmuxPane(const std::string& stdinPath, const std::vector<std::string>& serverEnv,
                        ToolRunner::Clock::time_point deadline) const;

  // Asked again right before the line is typed: why the server itself would not read it.
  using InputCheck = std::function<std::optional<std::string>()>;

  Attempt TryTmux(const std::string& stdinPath, const std::vector<std::string>& serverEnv,
                  const std::string& line, const InputCheck& inputCheck,
                  ToolRunner::Clock::time_point deadline) const;
  Attempt TryScreen(const std::vector<std::string>& serverEnv, const std::string& line,
                    const InputCheck& inputCheck, ToolRunner::Clock::time_point deadline) const;
  static Attempt TryPipe(const ProcessEntry& server, const std::string& command);

  Options m_options;
};

}  // namespace kov
