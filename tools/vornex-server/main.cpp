// vornex-server --accounts DIR --saves DIR: the stand-in game server for the demo and the
// tests. Console lines come from standard input (on Windows: typed into its window's
// input field).
#include <cstdio>
#include <cstring>
#include <string>

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
  std::fprintf(stderr, "usage: vornex-server --accounts DIR [--saves DIR]\n");
#endif
  return 2;
}

#ifndef _WIN32
int RunStdin(StandInServer& server) {
  std::string line;
  int c;
  // Byte by byte, so nothing is held back in a buffer when the line ends.
  while ((c = std::getchar()) != EOF) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    server.Execute(line);
    line.clear();
    PrintMessages(server);
    if (server.ExitRequested()) return 0;
  }
  if (!line.empty()) {
    server.Execute(line);
    PrintMessages(server);
  }
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::string accounts, saves;
  [[maybe_unused]] bool withDialog = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--accounts") && i + 1 < argc) {
      accounts = argv[++i];
    } else if (!std::strcmp(argv[i], "--saves") && i + 1 < argc) {
      saves = argv[++i];
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
  bool started = server.Start();
  PrintMessages(server);
  if (!started) return 1;
#ifdef _WIN32
  return RunConsoleWindow(server, withDialog);
#else
  return RunStdin(server);
#endif
}
