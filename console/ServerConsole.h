#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bridge to the running server's console: finding the server among the running
// processes by the full path of its executable, and typing one command line into its
// console. Nothing is cached: every call looks at the processes and windows afresh.
namespace kov {

// The two failures the operator sees; fixed English texts, never localised.
inline constexpr char kHandleNotFoundText[] = "Handle not found!";
inline constexpr char kEditFieldNotFoundText[] = "Edit field handle not found!";

enum class ConsoleStatus {
  Delivered,          // the line was typed into the console (nothing is read back)
  HandleNotFound,     // no running server with that executable path
  EditFieldNotFound,  // server found, but no console to type into (or typing failed)
  Refused,            // the command itself was refused; nothing was looked up or typed
};

struct ConsoleResult {
  ConsoleStatus status = ConsoleStatus::HandleNotFound;
  // Refused: why, for the operator. Otherwise why nothing was typed (the server is stopped,
  // another program has its terminal, which tool failed), shown below the fixed text.
  std::string reason;

  bool Delivered() const { return status == ConsoleStatus::Delivered; }
  // What a message box shows: the fixed texts above, the reason for a refusal, empty
  // when delivered.
  std::string MessageText() const;
  // What the operator is told: MessageText, and below the fixed "Edit field handle not
  // found!" the reason when there is one.
  std::string NoticeText() const;

  static ConsoleResult Make(ConsoleStatus status, std::string reason = {});
};

// HWND on Windows; the server's process id on Linux, where the process stands for its
// topmost window. 0 is none.
using ConsoleWindow = std::uintptr_t;

struct ProcessEntry {
  std::string path;  // full executable path, or a bare name when the path is not readable
  std::uint32_t pid = 0;
  bool fullPath = false;        // only full paths can match the server setting
  std::uint64_t startTime = 0;  // Linux: clock ticks after boot; 0 where unknown
};

// One entry per running process, in the system's enumeration order. False when the
// processes could not be enumerated at all.
bool ListRunningProcesses(std::vector<ProcessEntry>& list);
// The executable path of the process owning the window; empty when the window is gone.
std::string ProcessPathOfWindow(ConsoleWindow window);
// The server's topmost window (on Linux: its most recently started instance), or 0.
// An empty setting, a bare file name or a folder finds nothing.
ConsoleWindow FindServerConsoleWindow(const std::string& serverPath);

// Why a command cannot be typed (a control character would split or alter the line, or it
// is too long for one console line); nullopt when it may be sent.
std::optional<std::string> CommandRefusal(const std::string& command);
inline constexpr std::size_t kMaxConsoleCommandLength = 4000;

// Letter case ignored the way the server path is compared: both sides upper-cased
// (ASCII letters on Linux, the ANSI code page on Windows).
bool PathEqualsIgnoringCase(const std::string& a, const std::string& b);

// What the status bar shows about the server of the loaded shard, found without typing
// anything into its console.
enum class ServerState {
  NotSet,       // no server executable configured
  NotRunning,   // no running process with that path
  Stopped,      // running, but suspended (Ctrl-Z, a stop signal, a debugger)
  Unreachable,  // running, but a line typed now would not reach it (detail says why)
  Reachable,    // running, and its console takes a line (detail names the console)
};
struct ServerProbe {
  ServerState state = ServerState::NotRunning;
  std::string detail;  // "tmux pane %3", "pipe", "the server is stopped (Ctrl-Z)"...
  bool operator==(const ServerProbe&) const = default;
};

// The seam the program and its tests use. The UI never calls a platform function
// directly; tests swap in their own implementation with ScopedServerConsole.
class IServerConsole {
 public:
  virtual ~IServerConsole() = default;
  virtual bool IsServerRunning(const std::string& serverPath) = 0;
  virtual ConsoleResult SendConsoleCommand(const std::string& command,
                                           const std::string& serverPath) = 0;
  // Looks only: no key reaches the server, no mode of its terminal changes. The platform's
  // probes may run on another thread. By default: running means reachable.
  virtual ServerProbe ProbeServer(const std::string& serverPath);
};

// The real console of this platform (tmux, screen or a pipe on Linux; window messages
// on Windows).
IServerConsole& PlatformServerConsole();
// The implementation in use: the platform's unless one was set.
IServerConsole& CurrentServerConsole();
// nullptr restores the platform's. The caller keeps ownership and keeps it alive.
void SetServerConsole(IServerConsole* console);

class ScopedServerConsole {
 public:
  explicit ScopedServerConsole(IServerConsole& console);
  ~ScopedServerConsole();
  ScopedServerConsole(const ScopedServerConsole&) = delete;
  ScopedServerConsole& operator=(const ScopedServerConsole&) = delete;

 private:
  IServerConsole* m_previous;
};

// Through CurrentServerConsole().
bool IsServerRunning(const std::string& serverPath);
ConsoleResult SendConsoleCommand(const std::string& command, const std::string& serverPath);
ServerProbe ProbeServer(const std::string& serverPath);
// What a send's result says about the server, for the status bar; nothing for a command
// refused before any lookup.
std::optional<ServerProbe> ProbeOf(const ConsoleResult& result);

}  // namespace kov
