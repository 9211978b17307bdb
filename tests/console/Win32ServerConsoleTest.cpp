// The Windows console bridge against the stand-in server's real window (run under Wine by
// scripts/cross-test-windows.sh).
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "console/ServerConsole.h"
#include "store/Files.h"

using namespace std::chrono_literals;
using kov::ConsoleStatus;

namespace {

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH];
  DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : path;
}

// Read as the program reads the server's files: a read must never make the server's
// replacement of the file fail.
std::string ReadFile(const std::string& path) {
  std::string bytes;
  kov::ReadAllBytes(path, bytes);
  return bytes;
}

std::string LastLine(const std::string& path) {
  std::string text = ReadFile(path);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  auto pos = text.rfind('\n');
  return pos == std::string::npos ? text : text.substr(pos + 1);
}

template <typename Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds limit = 10s) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// A copy of the stand-in server in a folder of its own, started and stopped by the test.
class ServerCopy {
 public:
  // sharedExe: run that copy (a second instance) instead of making one.
  ServerCopy(const std::string& root, const std::string& name, const std::string& extraArgs,
             const std::string& sharedExe = {}) {
    m_folder = root + "\\" + name;
    ::CreateDirectoryA(m_folder.c_str(), nullptr);
    m_accounts = m_folder + "\\Accounts";
    ::CreateDirectoryA(m_accounts.c_str(), nullptr);
    if (sharedExe.empty()) {
      m_exe = m_folder + "\\VornexServer.exe";
      std::string built = FullPath(KOV_BINARY_DIR "/tools/vornex-server.exe");
      m_copied = ::CopyFileA(built.c_str(), m_exe.c_str(), FALSE) != 0;
    } else {
      m_exe = sharedExe;
      m_copied = true;
    }
    std::ofstream(m_accounts + "\\VornexAccu.scp", std::ios::binary)
        << "[admin]\r\nPASSWORD=oldsecret\r\n\r\n[bob]\r\nPASSWORD=bobpw\r\n\r\n[EOF]\r\n";
    std::string command = "\"" + m_exe + "\" --accounts \"" + m_accounts + "\" --saves \"" +
                          m_accounts + "\" " + extraArgs;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    m_started = m_copied && ::CreateProcessA(m_exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                             0, nullptr, nullptr, &startup, &m_process);
    if (m_started) ::CloseHandle(m_process.hThread);
  }
  ~ServerCopy() {
    if (m_started) {
      if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, 5000);
      }
      ::CloseHandle(m_process.hProcess);
    }
  }
  ServerCopy(const ServerCopy&) = delete;
  ServerCopy& operator=(const ServerCopy&) = delete;

  bool Started() const { return m_started; }
  bool Ended(DWORD waitMs) const {
    return ::WaitForSingleObject(m_process.hProcess, waitMs) == WAIT_OBJECT_0;
  }
  DWORD Pid() const { return m_process.dwProcessId; }
  const std::string& Exe() const { return m_exe; }
  std::string Log() const { return m_accounts + "\\console.log"; }
  std::string Accounts() const { return ReadFile(m_accounts + "\\VornexAccu.scp"); }
  std::string UpdateFile() const { return m_accounts + "\\VornexAcct.scp"; }
  // Waits until the server's window can be found (the window comes up after the process).
  bool WaitForWindow() const {
    return WaitFor([&] { return kov::FindServerConsoleWindow(m_exe) != 0; });
  }
  // Waits until that window has its input field too (the server adds it a moment later).
  // On failure, says which window stood on top instead.
  ::testing::AssertionResult WaitForInputField() const {
    HWND window = nullptr;
    if (WaitFor([&] {
          window = reinterpret_cast<HWND>(kov::FindServerConsoleWindow(m_exe));
          return window && ::FindWindowExA(window, nullptr, "Edit", nullptr);
        }))
      return ::testing::AssertionSuccess();
    char cls[64] = {}, title[64] = {};
    if (window) {
      ::GetClassNameA(window, cls, sizeof cls);
      ::GetWindowTextA(window, title, sizeof title);
    }
    return ::testing::AssertionFailure()
           << "the server's topmost window has no input field: class \"" << cls << "\", title \""
           << title << "\", " << (window && ::IsWindowVisible(window) ? "visible" : "hidden");
  }

 private:
  std::string m_folder, m_accounts, m_exe;
  bool m_copied = false;
  bool m_started = false;
  PROCESS_INFORMATION m_process{};
};

std::string Upper(std::string text) {
  ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}
std::string Lower(std::string text) {
  ::CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

struct FindByPid {
  DWORD pid;
  HWND found = nullptr;
};

// The instance's top-level window that has the input field.
HWND ConsoleOf(DWORD pid) {
  FindByPid search{pid};
  ::EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<FindByPid*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == s->pid && ::IsWindowVisible(window) &&
            ::FindWindowExA(window, nullptr, "Edit", nullptr)) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class Win32ServerConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    m_root = std::string(temp) + "KovConsoleTest" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(m_root.c_str(), nullptr);
  }

  std::string m_root;
};

TEST_F(Win32ServerConsoleTest, ProcessListHoldsOurselvesWithFullPath) {
  std::vector<kov::ProcessEntry> list;
  ASSERT_TRUE(kov::ListRunningProcesses(list));
  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  bool found = false;
  for (const auto& p : list) {
    if (p.pid == ::GetCurrentProcessId()) {
      found = true;
      EXPECT_TRUE(p.fullPath);
      EXPECT_TRUE(kov::PathEqualsIgnoringCase(p.path, self)) << p.path;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(Win32ServerConsoleTest, TypesIntoTheEditFieldOfTheServerWindow) {
  ServerCopy server(m_root, "Shard", "");
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(server.WaitForInputField());

  const std::string& exe = server.Exe();
  auto folder = exe.substr(0, exe.rfind('\\'));
  struct Case {
    std::string setting;
    bool found;
  };
  const std::vector<Case> cases = {
      {exe, true},     {Upper(exe), true},     {Lower(exe), true}, {"VornexServer.exe", false},
      {folder, false}, {folder + "\\", false}, {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kov::PlatformServerConsole().IsServerRunning(c.setting), c.found) << c.setting;
  }
  auto window = kov::FindServerConsoleWindow(Upper(exe));
  EXPECT_TRUE(kov::PathEqualsIgnoringCase(kov::ProcessPathOfWindow(window), exe));

  // Half-typed text in the field is replaced, not sent and not prefixed. Under Wine another
  // window of the server's can stand on top for a moment after it started.
  ASSERT_TRUE(server.WaitForInputField());
  window = kov::FindServerConsoleWindow(Upper(exe));
  HWND edit = ::FindWindowExA(reinterpret_cast<HWND>(window), nullptr, "Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  ::SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("garbage typed"));
  std::ofstream(server.UpdateFile(), std::ios::binary)
      << "//created\r\n[ADMIN]\r\nPLEVEL=GM\r\nPASSWORD=newsecret\r\n\r\n";
  auto result = kov::PlatformServerConsole().SendConsoleCommand("A", Lower(exe));
  EXPECT_EQ(result.status, ConsoleStatus::Delivered) << result.reason;
  EXPECT_TRUE(WaitFor([&] { return LastLine(server.Log()) == "A"; })) << ReadFile(server.Log());
  EXPECT_TRUE(
      WaitFor([&] { return server.Accounts().find("PASSWORD=newsecret") != std::string::npos; }));
  // Emptied once the accounts are on disk.
  EXPECT_TRUE(WaitFor([&] { return ReadFile(server.UpdateFile()).empty(); }));

  EXPECT_TRUE(
      kov::PlatformServerConsole().SendConsoleCommand("ACCOUNT bob DELETE", exe).Delivered());
  EXPECT_TRUE(WaitFor([&] { return server.Accounts().find("[bob]") == std::string::npos; }));

  const std::string odd = "-ACCOUNT \"J\xE9r\xF4me M\" $(id) #{pane_id} ^M \\ DELETE;";
  EXPECT_TRUE(kov::PlatformServerConsole().SendConsoleCommand(odd, exe).Delivered());
  EXPECT_TRUE(WaitFor([&] { return LastLine(server.Log()) == odd; })) << LastLine(server.Log());

  EXPECT_EQ(kov::PlatformServerConsole().SendConsoleCommand("A\r\nEXIT", exe).status,
            ConsoleStatus::Refused);

  EXPECT_TRUE(kov::PlatformServerConsole().SendConsoleCommand("EXIT", exe).Delivered());
  EXPECT_TRUE(server.Ended(10000));
  EXPECT_FALSE(kov::PlatformServerConsole().IsServerRunning(exe));
  EXPECT_EQ(kov::PlatformServerConsole().SendConsoleCommand("A", exe).status,
            ConsoleStatus::HandleNotFound);
}

TEST_F(Win32ServerConsoleTest, SystemImeWindowAboveTheConsoleIsPassedOver) {
  ServerCopy server(m_root, "Ime", "");
  ASSERT_TRUE(server.Started());
  HWND console = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (console = ConsoleOf(server.Pid())) != nullptr; }));
  HWND ime = ::FindWindowExA(nullptr, nullptr, "IME", nullptr);
  while (ime) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(ime, &owner);
    if (owner == server.Pid()) break;
    ime = ::FindWindowExA(nullptr, ime, "IME", nullptr);
  }
  if (!ime) GTEST_SKIP() << "this system gives the server no IME window";
  ::SetWindowPos(ime, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HWND top = ::GetTopWindow(nullptr);
  for (DWORD owner = 0; top; top = ::GetWindow(top, GW_HWNDNEXT)) {
    ::GetWindowThreadProcessId(top, &owner);
    if (owner == server.Pid()) break;
  }
  ASSERT_EQ(top, ime) << "the IME window should now be the server's topmost window";
  EXPECT_EQ(kov::FindServerConsoleWindow(server.Exe()),
            reinterpret_cast<kov::ConsoleWindow>(console));
  EXPECT_TRUE(kov::PlatformServerConsole().SendConsoleCommand("SAVE", server.Exe()).Delivered());
  EXPECT_TRUE(WaitFor([&] { return LastLine(server.Log()) == "SAVE"; }));
}

TEST_F(Win32ServerConsoleTest, DialogAboveTheConsoleGivesEditFieldNotFound) {
  ServerCopy server(m_root, "Blocked", "--dialog");
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(server.WaitForWindow());
  // The server's topmost window becomes its dialog (shown just after the console),
  // which has no input field.
  EXPECT_TRUE(WaitFor([&] {
    auto window = reinterpret_cast<HWND>(kov::FindServerConsoleWindow(server.Exe()));
    return window && !::FindWindowExA(window, nullptr, "Edit", nullptr);
  }));
  auto result = kov::PlatformServerConsole().SendConsoleCommand("A", server.Exe());
  EXPECT_EQ(result.status, ConsoleStatus::EditFieldNotFound);
  EXPECT_EQ(result.MessageText(), "Edit field handle not found!");
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(ReadFile(server.Log()), "");
}

TEST_F(Win32ServerConsoleTest, InstanceHigherInZOrderReceivesTheCommand) {
  ServerCopy first(m_root, "First", "");
  ASSERT_TRUE(first.Started());
  ServerCopy second(m_root, "Second", "", first.Exe());
  ASSERT_TRUE(second.Started());
  HWND firstWindow = nullptr, secondWindow = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    firstWindow = ConsoleOf(first.Pid());
    secondWindow = ConsoleOf(second.Pid());
    return firstWindow && secondWindow;
  }));
  for (int round = 0; round < 2; ++round) {
    const ServerCopy& top = round == 0 ? first : second;
    const ServerCopy& other = round == 0 ? second : first;
    HWND window = round == 0 ? firstWindow : secondWindow;
    // Raised again while waiting: the other instance may still be activating itself, late
    // on a loaded machine. The order must hold for a while before the command is sent, or
    // the command goes to the window that came up in between.
    int steady = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
          const bool onTop = kov::FindServerConsoleWindow(first.Exe()) ==
                             reinterpret_cast<kov::ConsoleWindow>(window);
          if (!onTop) ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
          steady = onTop ? steady + 1 : 0;
          if (steady < 8) std::this_thread::sleep_for(100ms);
          return steady >= 8;
        },
        20s))
        << "round " << round;
    const std::string command = "SAVE " + std::to_string(round);
    EXPECT_TRUE(kov::PlatformServerConsole().SendConsoleCommand(command, first.Exe()).Delivered());
    EXPECT_TRUE(WaitFor([&] { return LastLine(top.Log()) == command; })) << round;
    EXPECT_NE(LastLine(other.Log()), command);
  }
}

}  // namespace

#endif  // _WIN32
