// kovctl save: writes the pending rows of a folder as "Save" does, and tells the server.
#include <cstdio>
#include <string>

#include "Command.h"
#include "console/ServerConsole.h"
#include "settings/ProgramSettings.h"
#include "store/Cp1252.h"
#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"
#include "store/ScriptSyntax.h"

namespace {

constexpr const char* kUsage =
    "save ACCOUNTDIR [--server PATH] [--auto-update] [--wait SECONDS] [--home DIR]";

int Save(const kovctl::Args& args) {
  std::string dir, server, home;
  bool autoUpdate = false;
  int waitSeconds = kov::ProgramSettings::kDefaultTakeOverWait;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--server" && i + 1 < args.size())
      server = args[++i];
    else if (args[i] == "--home" && i + 1 < args.size())
      home = args[++i];
    else if (args[i] == "--wait" && i + 1 < args.size() && kov::ParseInteger(args[i + 1]) &&
             *kov::ParseInteger(args[i + 1]) >= 0)
      waitSeconds = *kov::ParseInteger(args[++i]);
    else if (args[i] == "--auto-update")
      autoUpdate = true;
    else if (dir.empty() && args[i].rfind("--", 0) != 0)
      dir = args[i];
    else {
      std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
      return 2;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
    return 2;
  }
  if (!kov::IsDirectory(dir)) {
    std::fprintf(stderr, "kovctl save: %s: no such folder\n", dir.c_str());
    return 2;
  }
  kov::AccountTable table;
  const kov::LoadResult load = kov::LoadAccountFolder(table, dir);
  if (const kov::ReadResult* bad = load.failure()) {
    // An incomplete table would replace pending changes with a part of them.
    std::fprintf(stderr, "kovctl save: reading stopped at line %d ('%s'); nothing written\n",
                 bad->lineNumber, kov::Cp1252ToUtf8(bad->text).c_str());
    return 3;
  }
  kov::SaveOptions options;
  options.live = autoUpdate && kov::IsServerRunning(server);
  options.tellServer = [&](std::string& why) {
    const kov::ConsoleResult r = kov::SendConsoleCommand("A", server);
    if (!r.Delivered()) why = r.NoticeText();
    return r.Delivered();
  };
  options.takeOverWaitMs = waitSeconds * 1000;
  const kov::SaveHistory history = kovctl::HistoryFor(home, dir);
  options.history = &history;
  const kov::SaveResult r = kov::WriteAccountUpdates(table, dir, options);
  if (!r.historyError.empty())
    std::fprintf(stderr, "kovctl save: the change history: %s\n", r.historyError.c_str());
  switch (r.status) {
    case kov::SaveResult::Status::AccountFileMissing:
    case kov::SaveResult::Status::UpdateFileMissing:
      std::fprintf(stderr, "kovctl save: File not found: %s\n", r.path.c_str());
      return 2;
    case kov::SaveResult::Status::ValueRefused:
      std::fprintf(stderr,
                   "kovctl save: account '%s' holds a line break or NUL in %s; nothing written\n",
                   kov::Cp1252ToUtf8(r.account).c_str(), r.field.c_str());
      return 1;
    case kov::SaveResult::Status::WriteFailed:
      std::fprintf(stderr, "kovctl save: %s\n", r.message.c_str());
      return 1;
    case kov::SaveResult::Status::Written:
      break;
  }
  std::printf("Save %s (%zu accounts)\n", r.path.c_str(), r.written.size());
  if (!r.live) {
    std::printf("The account informations change at the next worldsave.\n");
    return 0;
  }
  if (!r.told) {
    std::fprintf(stderr, "kovctl save: %s\n", r.consoleMessage.c_str());
    return 4;
  }
  std::printf("Send: A (Account Update)\n");
  std::printf("Taken over by the server: %d, waiting: %d\n", r.takenOver, r.waiting);
  // Typed is not taken over: the rows are in the file, but the server has not applied them.
  return r.waiting > 0 ? 5 : 0;
}

kovctl::Register reg("save", kUsage, Save);

}  // namespace
