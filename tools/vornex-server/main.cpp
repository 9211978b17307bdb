// vornex-server --accounts DIR --saves DIR: the stand-in game server for the demo and the
// tests. Console lines come from standard input (on Windows: typed into its window's
// input field).
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

#include "StandInServer.h"

#ifdef _WIN32
int RunConsoleWindow(StandInServer& server, bool withDialog);
#endif

namespace {

void PrintMessages(StandInServer& server) {
  for (const auto& m : server.TakeMessages()) std::printf("%s\n", m.c_str());
  std::fflush(stdout);
}

int Usage() {
#ifdef _WIN32
  std::fprintf(stderr, "usage: vornex-server --accounts DIR [--saves DIR] [--dialog]\n");
#else
  std::fprintf(stderr, "usage: vornex-server --accounts DIR [--saves DIR] [--takeover-delay MS]\n");
#endif
  return 2;
}

#ifndef _WIN32
int RunStdin(StandInServer& server) {
  std::string line;
  char buffer[4096];
  for (;;) {
    // Waits for input, or until a delayed line is due.
    const auto wait = server.RunDue();
    PrintMessages(server);
    if (server.ExitRequested()) return 0;
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&in, 1, static_cast<int>(wait.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    // Read as it comes, so nothing is held back in a buffer when the line ends.
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != '\n') {
        line += buffer[i];
        continue;
      }
      server.Execute(line);
      line.clear();
      PrintMessages(server);
      if (server.ExitRequested()) return 0;
    }
  }
  if (!line.empty()) server.Execute(line);
  // What is still due is carried out before the server ends.
  for (auto wait = server.RunDue(); wait.count() >= 0; wait = server.RunDue())
    std::this_thread::sleep_for(wait);
  PrintMessages(server);
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::string accounts, saves;
  int takeOverDelay = 0;
  [[maybe_unused]] bool withDialog = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--accounts") && i + 1 < argc) {
      accounts = argv[++i];
    } else if (!std::strcmp(argv[i], "--saves") && i + 1 < argc) {
      saves = argv[++i];
    } else if (!std::strcmp(argv[i], "--takeover-delay") && i + 1 < argc) {
      takeOverDelay = std::atoi(argv[++i]);
#ifdef _WIN32
    } else if (!std::strcmp(argv[i], "--dialog")) {
      withDialog = true;
#endif
    } else {
      return Usage();
    }
  }
  if (accounts.empty()) return Usage();
  if (saves.empty()) saves = accounts;
  StandInServer server(accounts, saves);
  server.SetTakeOverDelay(std::chrono::milliseconds(takeOverDelay));
  bool started = server.Start();
  PrintMessages(server);
  if (!started) return 1;
#ifdef _WIN32
  return RunConsoleWindow(server, withDialog);
#else
  return RunStdin(server);
#endif
}
