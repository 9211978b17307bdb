// kovctl history: the change history of the program folder, oldest first.
#include <cstdio>
#include <string>

#include "Command.h"
#include "store/History.h"

namespace {

constexpr const char* kUsage =
    "history [--home DIR] [--account NAME] [--since DATE] [--json]  (DATE in UTC: YYYY-MM-DD or "
    "YYYY-MM-DDThh:mm:ss)";

kov::HistoryRecord RecordOf(const kov::HistoryLog& log, const kov::HistoryLog::Entry& e) {
  using L = kov::HistoryLog;
  kov::HistoryRecord r;
  r.time = log.Get(e, L::Time);
  r.user = log.Get(e, L::User);
  r.shard = log.Get(e, L::Shard);
  r.account = log.Get(e, L::Account);
  r.action = log.Get(e, L::Action);
  r.field = log.Get(e, L::Field);
  r.oldValue = log.Get(e, L::Old);
  r.newValue = log.Get(e, L::New);
  r.takenOver = e.takenOver;
  return r;
}

int History(const kovctl::Args& args) {
  std::string home, account, since;
  bool byAccount = false, json = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--home" && i + 1 < args.size()) {
      home = args[++i];
    } else if (args[i] == "--account" && i + 1 < args.size()) {
      account = args[++i];
      byAccount = true;
    } else if (args[i] == "--since" && i + 1 < args.size()) {
      since = args[++i];
    } else if (args[i] == "--json") {
      json = true;
    } else {
      std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
      return 2;
    }
  }
  const std::string path = kovctl::HistoryPath(home);
  kov::HistoryLog log;
  if (log.Load(path) != kov::HistoryLog::Status::Ok) {
    std::fprintf(stderr, "kovctl history: %s\n", log.Error().c_str());
    return 1;
  }
  using L = kov::HistoryLog;
  if (json) std::printf("[");
  bool first = true;
  for (const L::Entry& e : log.Entries()) {
    if (byAccount && log.Get(e, L::Account) != account) continue;
    if (!since.empty() && log.Get(e, L::Time) < std::string_view(since)) continue;
    const kov::HistoryRecord r = RecordOf(log, e);
    if (json) {
      std::string line = kov::HistoryLine(r);
      line.pop_back();
      std::printf("%s\n%s", first ? "" : ",", line.c_str());
    } else {
      std::printf("%s  %-10s %-16s %-8s %-10s %s -> %s  (%s)  %s\n", r.time.c_str(), r.user.c_str(),
                  r.account.c_str(), r.action.c_str(), r.field.c_str(),
                  kov::IsPasswordField(r.field) ? "" : r.oldValue.c_str(),
                  kov::IsPasswordField(r.field) ? kov::kHistoryPasswordValue : r.newValue.c_str(),
                  r.takenOver ? "taken over" : "not yet taken over", r.shard.c_str());
    }
    first = false;
  }
  if (json) std::printf("%s]\n", first ? "" : "\n");
  if (log.BadLines() > 0)
    std::fprintf(stderr,
                 "kovctl history: %d line(s) are not history records and were skipped (%s)\n",
                 log.BadLines(), log.BadLinePlaces().front().c_str());
  if (log.TornLastLine())
    std::fprintf(stderr,
                 "kovctl history: the last line of %s is incomplete (cut off while it was "
                 "written); every whole line is shown\n",
                 path.c_str());
  return 0;
}

kovctl::Register reg("history", kUsage, History);

}  // namespace
