// kovctl dump: the table as the program loads it, as JSON.
#include <cstdio>
#include <string>

#include "Command.h"
#include "store/Cp1252.h"
#include "store/LoadAccounts.h"

namespace {

void PrintFailure(const kov::ReadResult& r, const std::string& path) {
  switch (r.status) {
    case kov::ReadResult::Status::ConversionError:
      std::fprintf(stderr, "kovctl: %s: line %d: '%s' is not a valid %s value\n", path.c_str(),
                   r.lineNumber, kov::Cp1252ToUtf8(r.text).c_str(), r.kind.c_str());
      break;
    case kov::ReadResult::Status::FileNotFound:
      std::fprintf(stderr, "kovctl: %s: file not found\n", path.c_str());
      break;
    case kov::ReadResult::Status::ReadError:
      std::fprintf(stderr, "kovctl: %s: %s\n", path.c_str(), r.message.c_str());
      break;
    case kov::ReadResult::Status::Ok:
      break;
  }
}

int Dump(const kovctl::Args& args) {
  bool countOnly = false;
  std::string dir;
  kov::ReadOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--count") {
      countOnly = true;
    } else if (args[i] == "--today" && i + 1 < args.size()) {
      auto c = kov::Clock::FromIso(args[++i]);
      if (!c) {
        std::fprintf(stderr, "kovctl dump: --today wants a date as YYYY-MM-DD\n");
        return 2;
      }
      options.now = *c;
    } else if (dir.empty() && args[i].rfind("--", 0) != 0) {
      dir = args[i];
    } else {
      std::fprintf(stderr, "usage: kovctl dump [--count] [--today YYYY-MM-DD] ACCOUNTDIR\n");
      return 2;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: kovctl dump [--count] [--today YYYY-MM-DD] ACCOUNTDIR\n");
    return 2;
  }
  if (!kov::IsDirectory(dir)) {
    std::fprintf(stderr, "kovctl dump: %s: no such folder\n", dir.c_str());
    return 2;
  }
  kov::AccountTable table;
  const kov::LoadResult load = kov::LoadAccountFolder(table, dir, options);

  if (countOnly) {
    std::printf("%d\n", table.RowCount());
  } else {
    std::string out;
    out.reserve(static_cast<size_t>(table.RowCount()) * 700 + 4);
    out += "[";
    bool firstRow = true;
    for (kov::RowId r : table.Order()) {
      out += firstRow ? "\n  {" : ",\n  {";
      firstRow = false;
      for (int f = 0; f < kov::kFieldCount; ++f) {
        const auto field = static_cast<kov::Field>(f);
        const auto& info = kov::FieldInfoOf(field);
        if (f) out += ", ";
        out += '"';
        out += info.name;
        out += "\": ";
        if (info.isInteger) {
          auto v = table.Int(r, field);
          out += v ? std::to_string(*v) : "null";
        } else {
          out += kov::JsonQuoteCp1252(table.Text(r, field));
        }
      }
      out += "}";
      if (out.size() > (1u << 20)) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
      }
    }
    out += firstRow ? "]\n" : "\n]\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  std::fflush(stdout);
  if (const kov::ReadResult* bad = load.failure()) {
    PrintFailure(*bad, kov::JoinPath(dir, bad == &load.account ? kov::kAccountFileName
                                                               : kov::kUpdateFileName));
    return 3;
  }
  return 0;
}

kovctl::Register reg("dump", "dump [--count] [--today YYYY-MM-DD] ACCOUNTDIR", Dump);

}  // namespace
