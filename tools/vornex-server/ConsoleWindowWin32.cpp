// On Windows the stand-in server is a window like the real one: its first direct child is
// a single-line "Edit" field, and a line placed there and finished with Enter is carried
// out. A list box below shows the server's answers.
#ifdef _WIN32

#include <windows.h>

#include <cstdio>
#include <string>

#include "StandInServer.h"

namespace {

const char kWindowClass[] = "VornexServerConsole";
const char kDialogClass[] = "VornexServerDialog";
HWND g_edit = nullptr;
HWND g_list = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (g_edit && g_list) {
        int width = LOWORD(lParam), height = HIWORD(lParam);
        ::MoveWindow(g_edit, 0, 0, width, 24, TRUE);
        ::MoveWindow(g_list, 0, 26, width, height > 26 ? height - 26 : 0, TRUE);
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(window, message, wParam, lParam);
  }
}

void Show(StandInServer& server) {
  for (const auto& m : server.TakeMessages()) {
    std::printf("%s\n", m.c_str());
    if (g_list) {
      LRESULT index = ::SendMessageA(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m.c_str()));
      ::SendMessageA(g_list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    }
  }
  std::fflush(stdout);
}

}  // namespace

// withDialog: a window of the server's own (like a message box) lies above its console, so
// the console's input field cannot be reached.
int RunConsoleWindow(StandInServer& server, bool withDialog) {
  // A console window made for us alone would count as the server's topmost window.
  DWORD attached[2];
  if (::GetConsoleProcessList(attached, 2) == 1) ::FreeConsole();
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kWindowClass;
  ::RegisterClassA(&wc);
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.lpszClassName = kDialogClass;
  ::RegisterClassA(&wc);

  HWND main = ::CreateWindowExA(0, kWindowClass, "VornexServer", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 400, nullptr, nullptr, instance, nullptr);
  if (!main) return 1;
  // Made before the input field exists, so no one can type into the console meanwhile.
  if (withDialog) {
    HWND dialog = ::CreateWindowExA(0, kDialogClass, "VornexServer - Warning",
                                    WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 100, 300, 120, main,
                                    nullptr, instance, nullptr);
    ::SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
  // The input field must be the first child: it is the one the account manager types into.
  g_edit = ::CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 640, 24,
                             main, nullptr, instance, nullptr);
  g_list = ::CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 26, 640,
                             350, main, nullptr, instance, nullptr);
  ::ShowWindow(main, SW_SHOWNORMAL);
  ::SetFocus(g_edit);
  Show(server);

  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == g_edit && msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
      int length = ::GetWindowTextLengthA(g_edit);
      std::string line(static_cast<std::size_t>(length) + 1, '\0');
      int got = ::GetWindowTextA(g_edit, line.data(), length + 1);
      line.resize(static_cast<std::size_t>(got > 0 ? got : 0));
      ::SetWindowTextA(g_edit, "");
      server.Execute(line);
      Show(server);
      if (server.ExitRequested()) ::DestroyWindow(main);
      continue;  // no WM_CHAR for Enter: a single-line field would only beep
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}

#endif  // _WIN32
