#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "Command.h"

namespace kovctl {
std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace kovctl

static void PrintUsage(FILE* out) {
  auto commands = kovctl::Registry();
  std::sort(commands.begin(), commands.end(),
            [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
  std::fprintf(out, "usage: kovctl COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& c : commands) std::fprintf(out, "  %s\n", c.usage);
}

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& c : kovctl::Registry()) {
    if (std::strcmp(c.name, argv[1]) != 0) continue;
    try {
      return c.run(kovctl::Args(argv + 2, argv + argc));
    } catch (const std::bad_alloc&) {
      // The readers refuse files they cannot hold; this catches what grows beyond memory later.
      std::fprintf(stderr, "kovctl %s: not enough memory\n", c.name);
      return 3;
    }
  }
  std::fprintf(stderr, "kovctl: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
