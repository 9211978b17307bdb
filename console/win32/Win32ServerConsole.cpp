// The server console on Windows: the server's topmost top-level window, found by walking
// the z-order and naming each window's process by its executable path; the command goes
// into that window's first "Edit" child, followed by Enter.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1  // psapi.dll, which NT 4.0 has too
#endif
#include <windows.h>
// clang-format off
#include <tlhelp32.h>
#include <psapi.h>
// clang-format on

#include <string>
#include <vector>

#include "console/ServerConsole.h"

namespace kov {

namespace {

enum class SystemKind { Nt3, Nt4, Nt5OrLater, Win9x };

SystemKind DetectSystem() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ::GetVersionExA(&version);
#pragma GCC diagnostic pop
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return SystemKind::Win9x;
  if (version.dwMajorVersion == 3 && (version.dwMinorVersion == 1 || version.dwMinorVersion == 5 ||
                                      version.dwMinorVersion == 51)) {
    return SystemKind::Nt3;
  }
  if (version.dwMajorVersion == 4) return SystemKind::Nt4;
  // Other NT 3.x releases, like every NT 5 or later, go through ToolHelp.
  return SystemKind::Nt5OrLater;
}

// The full path of the process's executable, or empty when the process may not be opened.
std::string NameOfProcess(DWORD pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return {};
  char buffer[MAX_PATH] = {};
  DWORD n = ::GetModuleFileNameExA(process, nullptr, buffer, MAX_PATH);
  ::CloseHandle(process);
  if (n == 0) return {};
  return std::string(buffer);  // up to the first zero character
}

// A bare name (NT's szExeFile, "System Idle Process") never equals a server path.
bool LooksLikeFullPath(const std::string& name) {
  return name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
}

void Add(std::vector<ProcessEntry>& list, DWORD pid, std::string name) {
  ProcessEntry entry;
  entry.pid = pid;
  entry.fullPath = LooksLikeFullPath(name);
  entry.path = std::move(name);
  list.push_back(std::move(entry));
}

bool EnumerateWithPsapi(std::vector<ProcessEntry>& list, SystemKind kind) {
  DWORD ids[1025];
  DWORD used = 0;
  if (!::EnumProcesses(ids, sizeof ids, &used)) return false;
  for (DWORD i = 0; i < used / sizeof(DWORD); ++i) {
    DWORD id = ids[i];
    std::string name;
    if (id == 0) {
      name = "System Idle Process";
    } else if ((id == 2 && kind == SystemKind::Nt4) ||
               (id == 8 && kind == SystemKind::Nt5OrLater)) {
      name = "System Process";
    } else {
      name = NameOfProcess(id);
    }
    if (!name.empty()) Add(list, id, std::move(name));
  }
  return true;
}

bool EnumerateWithToolHelp(std::vector<ProcessEntry>& list, SystemKind kind) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;  // 296 in a 32-bit program
  for (BOOL more = ::Process32First(snapshot, &entry); more;
       more = ::Process32Next(snapshot, &entry)) {
    std::string name;
    if (entry.th32ProcessID == 0) {
      name = "System Idle Process";
    } else if (kind == SystemKind::Nt5OrLater) {
      name = NameOfProcess(entry.th32ProcessID);
      if (name.empty()) name = entry.szExeFile;
    } else {
      name = entry.szExeFile;  // a full path on Windows 95/98/Me
    }
    Add(list, entry.th32ProcessID, std::move(name));
  }
  ::CloseHandle(snapshot);
  return true;
}

const ProcessEntry* EntryOf(const std::vector<ProcessEntry>& list, DWORD pid) {
  for (const auto& p : list) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

DWORD OwnerOf(HWND window) {
  DWORD pid = 0xFFFFFFFF;  // a failed call then matches no process
  ::GetWindowThreadProcessId(window, &pid);
  return pid;
}

HWND ToHandle(ConsoleWindow window) { return reinterpret_cast<HWND>(window); }

// The input-method windows that the system gives every window thread, and COM's hidden
// window, are top-level windows of the server's process that may lie above its console;
// they are not the server's own.
bool IsSystemImeWindow(HWND window) {
  char name[32] = {};
  int n = ::GetClassNameA(window, name, sizeof name);
  std::string cls(name, n > 0 ? static_cast<std::size_t>(n) : 0);
  // The system's hidden helpers in every process: the input method's windows, and the one
  // COM makes for a thread that uses it (Wine raises it above the server's console).
  return cls == "IME" || cls == "MSCTFIME UI" || cls == "OleMainThreadWndClass";
}

class Win32ServerConsole : public IServerConsole {
 public:
  bool IsServerRunning(const std::string& serverPath) override {
    return FindServerConsoleWindow(serverPath) != 0;
  }

  ConsoleResult SendConsoleCommand(const std::string& command,
                                   const std::string& serverPath) override {
    if (auto refusal = CommandRefusal(command)) {
      return ConsoleResult::Make(ConsoleStatus::Refused, *refusal);
    }
    HWND server = ToHandle(FindServerConsoleWindow(serverPath));
    if (!server) return ConsoleResult::Make(ConsoleStatus::HandleNotFound);
    HWND edit = ::FindWindowExA(server, nullptr, "Edit", nullptr);
    if (!edit) return Failure(server, "the server's topmost window has no input field");
    ::SetForegroundWindow(edit);
    // A server that hangs must not freeze us: give up after a few seconds.
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.c_str()),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, 3000, &answer)) {
      return Failure(server, "the server did not take the text");
    }
    if (!::PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 0) ||
        !::PostMessageA(edit, WM_KEYUP, VK_RETURN, 0)) {
      return Failure(server, "the Enter key could not be queued");
    }
    return ConsoleResult::Make(ConsoleStatus::Delivered);
  }

 private:
  // A server window that vanished meanwhile means the server has ended.
  static ConsoleResult Failure(HWND server, const char* why) {
    if (!::IsWindow(server)) return ConsoleResult::Make(ConsoleStatus::HandleNotFound);
    return ConsoleResult::Make(ConsoleStatus::EditFieldNotFound, why);
  }
};

}  // namespace

bool PathEqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  std::string upperA = a, upperB = b;
  if (!upperA.empty()) ::CharUpperBuffA(upperA.data(), static_cast<DWORD>(upperA.size()));
  if (!upperB.empty()) ::CharUpperBuffA(upperB.data(), static_cast<DWORD>(upperB.size()));
  return upperA == upperB;
}

bool ListRunningProcesses(std::vector<ProcessEntry>& list) {
  SystemKind kind = DetectSystem();
  if (kind == SystemKind::Nt3 || kind == SystemKind::Nt4) return EnumerateWithPsapi(list, kind);
  return EnumerateWithToolHelp(list, kind);
}

std::string ProcessPathOfWindow(ConsoleWindow window) {
  HWND handle = ToHandle(window);
  if (!handle || !::IsWindow(handle)) return {};
  DWORD pid = OwnerOf(handle);
  std::vector<ProcessEntry> processes;
  if (!ListRunningProcesses(processes)) return {};
  const ProcessEntry* entry = EntryOf(processes, pid);
  return entry ? entry->path : std::string();
}

ConsoleWindow FindServerConsoleWindow(const std::string& serverPath) {
  if (serverPath.empty()) return 0;
  // One process list for the whole walk rather than one per window: same result, far
  // fewer processes opened.
  std::vector<ProcessEntry> processes;
  if (!ListRunningProcesses(processes)) return 0;
  // The topmost top-level window, then down the z-order; hidden and disabled ones too.
  HWND window = ::GetTopWindow(nullptr);
  // The z-order can change under the walk; the bound keeps a cycle from running forever.
  for (int steps = 0; window && steps < 100000; ++steps) {
    const ProcessEntry* entry = EntryOf(processes, OwnerOf(window));
    if (entry && entry->fullPath && PathEqualsIgnoringCase(entry->path, serverPath) &&
        !IsSystemImeWindow(window)) {
      return reinterpret_cast<ConsoleWindow>(window);
    }
    window = ::GetWindow(window, GW_HWNDNEXT);
  }
  return 0;
}

IServerConsole& PlatformServerConsole() {
  static Win32ServerConsole console;
  return console;
}

}  // namespace kov
