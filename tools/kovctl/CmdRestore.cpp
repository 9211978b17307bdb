// kovctl restore: what differs between a backup and an account folder, and the chosen
// accounts brought back into the update file, as "Save" writes it.
#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "Command.h"
#include "backup/Restore.h"
#include "store/Cp1252.h"
#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "store/SaveAcct.h"

namespace {

constexpr const char* kUsage =
    "restore BACKUP ACCOUNTDIR [--account NAME]... [--dry-run] [--json] [--backup-wins] "
    "[--home DIR]";

std::string FieldName(kov::Field f) { return kov::HistoryFieldName(kov::FieldInfoOf(f).name); }

std::string Shown(const kov::AccountTable& t, kov::RowId row, kov::Field f) {
  if (f == kov::dbpasswort) return "(hidden)";
  return kov::Cp1252ToUtf8(t.DisplayText(row, f));
}

std::string Json(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned char>(c));
      out += hex;
      continue;
    }
    out += c;
  }
  return out + "\"";
}

int Restore(const kovctl::Args& args) {
  std::vector<std::string> paths;
  std::vector<std::string> accounts;
  std::string home;
  bool dryRun = false, json = false, backupWins = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--account" && i + 1 < args.size()) {
      accounts.push_back(args[++i]);
    } else if (args[i] == "--home" && i + 1 < args.size()) {
      home = args[++i];
    } else if (args[i] == "--dry-run") {
      dryRun = true;
    } else if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--backup-wins") {
      backupWins = true;
    } else if (args[i].rfind("--", 0) != 0) {
      paths.push_back(args[i]);
    } else {
      std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
      return 2;
    }
  }
  if (paths.size() != 2) {
    std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
    return 2;
  }
  const std::string& backupPath = paths[0];
  const std::string& dir = paths[1];
  if (!kov::IsDirectory(dir)) {
    std::fprintf(stderr, "kovctl restore: %s: no such folder\n", dir.c_str());
    return 2;
  }
  kov::AccountTable backup;
  const kov::BackupReadResult read = kov::ReadBackup(backupPath, backup);
  if (!read.ok()) {
    std::fprintf(stderr, "kovctl restore: %s: %s; nothing restored\n", backupPath.c_str(),
                 read.message.c_str());
    return 1;
  }
  kov::AccountTable table;
  const kov::LoadResult load = kov::LoadAccountFolder(table, dir);
  if (const kov::ReadResult* bad = load.failure()) {
    std::fprintf(stderr, "kovctl restore: reading %s stopped at line %d ('%s'); nothing restored\n",
                 dir.c_str(), bad->lineNumber, kov::Cp1252ToUtf8(bad->text).c_str());
    return 3;
  }
  kov::AccountTable server;
  const bool haveServer =
      kov::ReadAccountFile(server, kov::JoinPath(dir, kov::kAccountFileName)).ok();
  const kov::RestoreDiff diff = kov::DiffWithBackup(backup, table, haveServer ? &server : nullptr);

  // Which items to restore: the named accounts, else every deleted and changed one.
  std::vector<const kov::RestoreItem*> chosen;
  std::unordered_set<std::string> named;
  for (const std::string& a : accounts) {
    const auto cp = kov::Utf8ToCp1252(a);
    if (!cp) {
      std::fprintf(stderr, "kovctl restore: '%s' cannot be an account name\n", a.c_str());
      return 2;
    }
    named.insert(*cp);
  }
  std::unordered_set<std::string> matched;
  for (const kov::RestoreItem& item : diff.items) {
    if (item.kind == kov::RestoreItem::Kind::New) continue;
    const std::string name(backup.Text(item.backupRow, kov::dbaccount));
    if (!named.empty() && !named.count(name)) continue;
    chosen.push_back(&item);
    matched.insert(name);
  }
  for (const std::string& n : named)
    if (!matched.count(n))
      std::fprintf(stderr, "kovctl restore: %s: no difference to the backup; not restored\n",
                   kov::Cp1252ToUtf8(n).c_str());
  const bool refuse = diff.foreign && named.empty();

  if (json) {
    std::printf("{\"backup\":%s,\"date\":%s,\"foreign\":%s,", Json(backupPath).c_str(),
                Json(kov::Cp1252ToUtf8(read.date)).c_str(), diff.foreign ? "true" : "false");
    for (const auto kind : {kov::RestoreItem::Kind::Deleted, kov::RestoreItem::Kind::Changed,
                            kov::RestoreItem::Kind::New}) {
      const char* key = kind == kov::RestoreItem::Kind::Deleted   ? "deleted"
                        : kind == kov::RestoreItem::Kind::Changed ? "changed"
                                                                  : "new";
      std::printf("\"%s\":[", key);
      bool first = true;
      for (const kov::RestoreItem& item : diff.items) {
        if (item.kind != kind) continue;
        const bool fromBackup = kind != kov::RestoreItem::Kind::New;
        const std::string name =
            kov::Cp1252ToUtf8(fromBackup ? backup.Text(item.backupRow, kov::dbaccount)
                                         : table.Text(item.currentRow, kov::dbaccount));
        std::printf("%s", first ? "" : ",");
        first = false;
        if (kind != kov::RestoreItem::Kind::Changed) {
          std::printf("%s", Json(name).c_str());
          continue;
        }
        std::printf("{\"account\":%s,\"fields\":[", Json(name).c_str());
        for (size_t k = 0; k < item.fields.size(); ++k) {
          const kov::Field f = item.fields[k];
          std::printf("%s{\"field\":%s,\"current\":%s,\"backup\":%s,\"pending\":%s}", k ? "," : "",
                      Json(FieldName(f)).c_str(), Json(Shown(table, item.currentRow, f)).c_str(),
                      Json(Shown(backup, item.backupRow, f)).c_str(),
                      item.IsPending(f) ? "true" : "false");
        }
        std::printf("]}");
      }
      std::printf("],");
    }
  } else {
    std::printf(
        "Backup from %s: %d accounts; deleted since: %d, changed since: %d, new since: %d\n",
        kov::Cp1252ToUtf8(read.date).c_str(), diff.backupRows, diff.deleted, diff.changed,
        diff.added);
    for (const kov::RestoreItem& item : diff.items) {
      switch (item.kind) {
        case kov::RestoreItem::Kind::Deleted:
          std::printf("deleted  %s\n",
                      kov::Cp1252ToUtf8(backup.Text(item.backupRow, kov::dbaccount)).c_str());
          break;
        case kov::RestoreItem::Kind::New:
          std::printf("new      %s\n",
                      kov::Cp1252ToUtf8(table.Text(item.currentRow, kov::dbaccount)).c_str());
          break;
        case kov::RestoreItem::Kind::Changed:
          std::printf("changed  %s\n",
                      kov::Cp1252ToUtf8(table.Text(item.currentRow, kov::dbaccount)).c_str());
          for (kov::Field f : item.fields)
            std::printf("         %-10s now %s, backup %s%s\n", FieldName(f).c_str(),
                        Shown(table, item.currentRow, f).c_str(),
                        Shown(backup, item.backupRow, f).c_str(),
                        item.IsPending(f) ? " (now: an unsaved change)" : "");
          break;
      }
    }
  }
  if (diff.foreign)
    std::fprintf(
        stderr,
        "kovctl restore: none of the backup's %d accounts is in %s: it looks like the "
        "backup of another shard%s\n",
        diff.backupRows, dir.c_str(),
        refuse ? "; nothing restored (name the accounts with --account to restore them)" : "");

  int restored = 0;
  std::unordered_set<std::string> restoredNames;
  if (!dryRun && !refuse) {
    const auto choice =
        backupWins ? kov::PendingChoice::TakeBackup : kov::PendingChoice::KeepPending;
    for (const kov::RestoreItem* item : chosen) {
      if (kov::ApplyRestore(table, backup, *item, {}, choice) > 0) {
        ++restored;
        restoredNames.insert(std::string(backup.Text(item->backupRow, kov::dbaccount)));
      }
    }
  }
  int rc = refuse ? 1 : 0;
  std::string written;
  if (restored > 0) {
    kov::SaveOptions options;
    kov::SaveHistory history = kovctl::HistoryFor(home, dir);
    history.restored = restoredNames;
    options.history = &history;
    const kov::SaveResult r = kov::WriteAccountUpdates(table, dir, options);
    if (!r.ok()) {
      const std::string why = r.status == kov::SaveResult::Status::ValueRefused
                                  ? "account '" + kov::Cp1252ToUtf8(r.account) +
                                        "' holds a line break or NUL in " + r.field
                              : r.message.empty() ? "File not found: " + r.path
                                                  : r.message;
      std::fprintf(stderr, "kovctl restore: %s; nothing written\n", why.c_str());
      restored = 0;
      rc = 1;
    } else {
      written = r.path;
      if (!r.historyError.empty())
        std::fprintf(stderr, "kovctl restore: the change history: %s\n", r.historyError.c_str());
    }
  }
  if (json) {
    std::printf("\"restored\":[");
    bool first = true;
    for (const kov::RestoreItem* item : chosen) {
      const std::string name(backup.Text(item->backupRow, kov::dbaccount));
      if (!restored || !restoredNames.count(name)) continue;
      std::printf("%s%s", first ? "" : ",", Json(kov::Cp1252ToUtf8(name)).c_str());
      first = false;
    }
    std::printf("],\"dryRun\":%s}\n", dryRun ? "true" : "false");
  } else if (!dryRun && restored > 0) {
    std::printf(
        "Restored %d account(s) into %s; the account informations change at the next "
        "worldsave or when the server takes the file over\n",
        restored, written.c_str());
  }
  return rc;
}

kovctl::Register reg("restore", kUsage, Restore);

}  // namespace
