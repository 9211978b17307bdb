#include "console/ServerConsole.h"

namespace kov {

namespace {
IServerConsole* g_console = nullptr;
}

ConsoleResult ConsoleResult::Make(ConsoleStatus status, std::string reason) {
  ConsoleResult result;
  result.status = status;
  result.reason = std::move(reason);
  return result;
}

std::string ConsoleResult::MessageText() const {
  switch (status) {
    case ConsoleStatus::Delivered:
      return {};
    case ConsoleStatus::HandleNotFound:
      return kHandleNotFoundText;
    case ConsoleStatus::EditFieldNotFound:
      return kEditFieldNotFoundText;
    case ConsoleStatus::Refused:
      return reason;
  }
  return {};
}

std::string ConsoleResult::NoticeText() const {
  if (status == ConsoleStatus::EditFieldNotFound && !reason.empty()) {
    return MessageText() + "\n" + reason;
  }
  return MessageText();
}

std::optional<std::string> CommandRefusal(const std::string& command) {
  for (unsigned char c : command) {
    if (c < 0x20 || c == 0x7F) {
      return "The command holds a control character (such as a line end) and is not "
             "sent: it would reach the server as another command.";
    }
  }
  if (command.size() > kMaxConsoleCommandLength) {
    return "The command is longer than " + std::to_string(kMaxConsoleCommandLength) +
           " characters and is not sent.";
  }
  return std::nullopt;
}

ServerProbe IServerConsole::ProbeServer(const std::string& serverPath) {
  if (serverPath.empty()) return {ServerState::NotSet, {}};
  return {IsServerRunning(serverPath) ? ServerState::Reachable : ServerState::NotRunning, {}};
}

std::optional<ServerProbe> ProbeOf(const ConsoleResult& result) {
  switch (result.status) {
    case ConsoleStatus::Delivered:
      return ServerProbe{ServerState::Reachable, result.reason};
    case ConsoleStatus::HandleNotFound:
      return ServerProbe{ServerState::NotRunning, {}};
    case ConsoleStatus::EditFieldNotFound:
      return ServerProbe{ServerState::Unreachable, result.reason};
    case ConsoleStatus::Refused:
      break;
  }
  return std::nullopt;
}

IServerConsole& CurrentServerConsole() { return g_console ? *g_console : PlatformServerConsole(); }

void SetServerConsole(IServerConsole* console) { g_console = console; }

ScopedServerConsole::ScopedServerConsole(IServerConsole& console) : m_previous(g_console) {
  g_console = &console;
}

ScopedServerConsole::~ScopedServerConsole() { g_console = m_previous; }

bool IsServerRunning(const std::string& serverPath) {
  return CurrentServerConsole().IsServerRunning(serverPath);
}

ConsoleResult SendConsoleCommand(const std::string& command, const std::string& serverPath) {
  return CurrentServerConsole().SendConsoleCommand(command, serverPath);
}

ServerProbe ProbeServer(const std::string& serverPath) {
  return CurrentServerConsole().ProbeServer(serverPath);
}

}  // namespace kov
