// kovctl send PATH COMMAND: types one command line into the running server's console,
// for scripts such as a nightly "SAVE". The exit status tells what happened.
#include <cstdio>

#include "Command.h"
#include "console/ServerConsole.h"

namespace {

enum ExitCode {
  kDelivered = 0,
  kUsage = 2,
  kHandleNotFound = 3,
  kEditFieldNotFound = 4,
  kRefused = 5,
};

int Send(const kovctl::Args& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: kovctl send SERVER_EXECUTABLE_PATH COMMAND\n");
    return kUsage;
  }
  const std::string& path = args[0];
  const std::string& command = args[1];
  kov::ConsoleResult result = kov::SendConsoleCommand(command, path);
  switch (result.status) {
    case kov::ConsoleStatus::Delivered:
      std::printf("Send: %s\n", command.c_str());
      return kDelivered;
    case kov::ConsoleStatus::HandleNotFound:
      std::fprintf(stderr, "kovctl send: %s\n", kov::kHandleNotFoundText);
      return kHandleNotFound;
    case kov::ConsoleStatus::EditFieldNotFound:
      std::fprintf(stderr, "kovctl send: %s", kov::kEditFieldNotFoundText);
      if (!result.reason.empty()) std::fprintf(stderr, " (%s)", result.reason.c_str());
      std::fprintf(stderr, "\n");
      return kEditFieldNotFound;
    case kov::ConsoleStatus::Refused:
      std::fprintf(stderr, "kovctl send: %s\n", result.reason.c_str());
      return kRefused;
  }
  return kEditFieldNotFound;
}

kovctl::Register reg(
    "send",
    "send PATH COMMAND   type COMMAND into the console of the server running "
    "from PATH (exit 0 sent, 3 not running, 4 no console or the server does not read "
    "it now, e.g. stopped or in the background; 5 refused)",
    Send);

}  // namespace

namespace {

// kovctl status PATH: what the program's status bar says of the server, without typing.
int Status(const kovctl::Args& args) {
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: kovctl status SERVER_EXECUTABLE_PATH\n");
    return kUsage;
  }
  const kov::ServerProbe probe = kov::ProbeServer(args[0]);
  const char* word = "running";
  int code = kDelivered;
  switch (probe.state) {
    case kov::ServerState::NotSet:
    case kov::ServerState::NotRunning:
      word = "not running";
      code = kHandleNotFound;
      break;
    case kov::ServerState::Stopped:
      word = "stopped";
      code = kEditFieldNotFound;
      break;
    case kov::ServerState::Unreachable:
      word = "running, console not reachable";
      code = kEditFieldNotFound;
      break;
    case kov::ServerState::Reachable:
      break;
  }
  std::printf("%s%s%s\n", word, probe.detail.empty() ? "" : ": ", probe.detail.c_str());
  return code;
}

kovctl::Register statusReg(
    "status",
    "status PATH         whether the server running from PATH can be reached, without typing "
    "anything (exit 0 reachable, 3 not running, 4 stopped or no console)",
    Status);

}  // namespace
