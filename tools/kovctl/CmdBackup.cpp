// kovctl backup: the account table as the program loads it, into a backup file; and
// kovctl backup-decode: a backup's dump text back out, to read or restore it.
#include <clocale>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "Command.h"
#include "backup/Huffman_Work.h"
#include "backup/SaveBackup.h"
#include "store/Cp1252.h"
#include "store/LoadAccounts.h"

namespace {

constexpr const char* kBackupUsage = "backup [--date TEXT] ACCOUNTDIR OUT|OUTDIR";
constexpr const char* kDecodeUsage = "backup-decode IN OUT";

// The short date of the user's locale, as the program writes into its backups.
std::string TodayText() {
  std::setlocale(LC_TIME, "");
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[64];
  const std::size_t n = std::strftime(text, sizeof text, "%x", &local);
  return std::string(text, n);
}

void PrintLoadFailure(const kov::LoadResult& load, const std::string& dir) {
  const kov::ReadResult* bad = load.failure();
  const std::string path =
      kov::JoinPath(dir, bad == &load.account ? kov::kAccountFileName : kov::kUpdateFileName);
  switch (bad->status) {
    case kov::ReadResult::Status::ConversionError:
      std::fprintf(stderr, "kovctl backup: %s: line %d: '%s' is not a valid %s value\n",
                   path.c_str(), bad->lineNumber, kov::Cp1252ToUtf8(bad->text).c_str(),
                   bad->kind.c_str());
      break;
    case kov::ReadResult::Status::FileNotFound:
      std::fprintf(stderr, "kovctl backup: %s: file not found\n", path.c_str());
      break;
    default:
      std::fprintf(stderr, "kovctl backup: %s: %s\n", path.c_str(), bad->message.c_str());
      break;
  }
}

int Backup(const kovctl::Args& args) {
  std::string date;
  bool haveDate = false;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--date" && i + 1 < args.size()) {
      date = args[++i];
      haveDate = true;
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) {
    std::fprintf(stderr, "usage: kovctl %s\n", kBackupUsage);
    return 2;
  }
  const std::string& dir = paths[0];
  if (!kov::IsDirectory(dir)) {
    std::fprintf(stderr, "kovctl backup: %s: no such folder\n", dir.c_str());
    return 2;
  }
  if (!haveDate) date = TodayText();
  std::string out = paths[1];
  if (kov::IsDirectory(out)) out = kov::JoinPath(out, kov::BackupFileName(date));

  kov::AccountTable table;
  const kov::LoadResult load = kov::LoadAccountFolder(table, dir);
  // A table cut short by a bad line would look like a whole backup.
  if (!load.complete()) {
    PrintLoadFailure(load, dir);
    std::fprintf(stderr, "kovctl backup: no backup written\n");
    return 1;
  }
  const kov::BackupResult r = kov::WriteBackup(table, out, date);
  if (!r.ok) {
    std::fprintf(stderr, "kovctl backup: %s\n", r.error.c_str());
    return 1;
  }
  std::printf("%s%s (%zu accounts)\n", kov::kBackupLogText, out.c_str(), r.rows);
  return 0;
}

int BackupDecode(const kovctl::Args& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: kovctl %s\n", kDecodeUsage);
    return 2;
  }
  const kov::HuffmanFileResult r = kov::HuffmanDecompressFile(args[0], args[1]);
  if (!r.ok) {
    std::fprintf(stderr, "kovctl backup-decode: %s\n", r.error.c_str());
    return 1;
  }
  if (!r.headerComplete) {
    std::fprintf(stderr, "kovctl backup-decode: %s is too short to hold a Huffman stream\n",
                 args[0].c_str());
    return 1;
  }
  if (!r.complete) {
    std::fprintf(stderr, "kovctl backup-decode: %s is cut short: %lld of %lld bytes recovered\n",
                 args[0].c_str(), static_cast<long long>(r.symbolsOut),
                 static_cast<long long>(r.symbols > 0 ? r.symbols : 0));
    return 1;
  }
  return 0;
}

kovctl::Register reg("backup", kBackupUsage, Backup);
kovctl::Register regDecode("backup-decode", kDecodeUsage, BackupDecode);

}  // namespace
