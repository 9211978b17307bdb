#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>

#include "Command.h"
#include "settings/ProgramFolders.h"
#include "store/Files.h"
#include "store/History.h"

static std::string g_argv0;

namespace kovctl {
std::string HistoryPath(const std::string& homeOverride) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(fs::path(g_argv0), ec);
  const std::optional<std::string> home =
      homeOverride.empty() ? std::nullopt : std::optional<std::string>(homeOverride);
  const kov::ProgramFolders folders = kov::ResolveProgramFolders(exe.parent_path().string(), home);
  return kov::JoinPath(folders.home, kov::kHistoryFileName);
}

kov::SaveHistory HistoryFor(const std::string& homeOverride, const std::string& accountDir) {
  kov::SaveHistory h;
  h.path = HistoryPath(homeOverride);
  h.user = kov::CurrentUserName();
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(accountDir, ec);
  h.shard = ec ? accountDir : absolute.lexically_normal().string();
  while (h.shard.size() > 1 && (h.shard.back() == '/' || h.shard.back() == '\\'))
    h.shard.pop_back();
  return h;
}

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
  g_argv0 = argc > 0 ? argv[0] : "";
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
