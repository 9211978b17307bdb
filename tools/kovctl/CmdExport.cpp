// kovctl export: the grid's HTML or .xlsx export from the command line, for lists published
// on a schedule. The table is loaded as the program loads it and filtered by a tab.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Command.h"
#include "export/ExportCsv.h"
#include "export/ExportHtml.h"
#include "export/ExportXlsx.h"
#include "store/Cp1252.h"
#include "store/LoadAccounts.h"
#include "store/ScriptSyntax.h"
#include "store/TabFilter.h"

namespace {

constexpr const char* kUsage =
    "export --html|--xlsx|--csv [--tab N] [--chars M] [--today YYYY-MM-DD] ACCOUNTDIR OUT";

int Usage() {
  std::fprintf(stderr,
               "usage: kovctl %s\n"
               "  --tab N    the grid's tab: 0 All, 1 Guest, 2 Player, 3 Staff, 4 Blocked,\n"
               "             5 Jailed, 6 Char Count, 7 Not blocked (default 0)\n"
               "  --chars M  the character count for --tab 6 (0..5, default 0)\n",
               kUsage);
  return 2;
}

bool ParseIndex(const std::string& text, int limit, int& out) {
  if (text.empty() || text.size() > 2) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::atoi(text.c_str());
  return out < limit;
}

int Export(const kovctl::Args& args) {
  enum class Format { None, Html, Xlsx, Csv } format = Format::None;
  int tab = kov::TabAll;
  int chars = 0;
  kov::ReadOptions options;
  std::vector<std::string> paths;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--html" || a == "--xlsx" || a == "--csv") {
      const Format f = a == "--html" ? Format::Html : a == "--csv" ? Format::Csv : Format::Xlsx;
      if (format != Format::None && format != f) return Usage();
      format = f;
    } else if (a == "--tab" && hasValue) {
      if (!ParseIndex(args[++i], kov::kFilterTabCount, tab)) {
        std::fprintf(stderr, "kovctl export: --tab wants 0 to %d\n", kov::kFilterTabCount - 1);
        return 2;
      }
    } else if (a == "--chars" && hasValue) {
      if (!ParseIndex(args[++i], kov::kCharTabCount, chars)) {
        std::fprintf(stderr, "kovctl export: --chars wants 0 to %d\n", kov::kCharTabCount - 1);
        return 2;
      }
    } else if (a == "--today" && hasValue) {
      auto c = kov::Clock::FromIso(args[++i]);
      if (!c) {
        std::fprintf(stderr, "kovctl export: --today wants a date as YYYY-MM-DD\n");
        return 2;
      }
      options.now = *c;
    } else if (a.rfind("--", 0) == 0 && a != "--") {
      return Usage();
    } else {
      paths.push_back(a);
    }
  }
  if (format == Format::None || paths.size() != 2) return Usage();
  const std::string& dir = paths[0];
  const std::string& out = paths[1];
  if (!kov::IsDirectory(dir)) {
    std::fprintf(stderr, "kovctl export: %s: no such folder\n", dir.c_str());
    return 2;
  }

  kov::AccountTable table;
  const kov::LoadResult load = kov::LoadAccountFolder(table, dir, options);
  // A list published from a load that stopped half-way would silently miss accounts.
  if (const kov::ReadResult* bad = load.failure()) {
    const std::string path =
        kov::JoinPath(dir, bad == &load.account ? kov::kAccountFileName : kov::kUpdateFileName);
    if (bad->status == kov::ReadResult::Status::ConversionError)
      std::fprintf(stderr, "kovctl export: %s: line %d: '%s' is not a valid %s value\n",
                   path.c_str(), bad->lineNumber, kov::Cp1252ToUtf8(bad->text).c_str(),
                   bad->kind.c_str());
    else
      std::fprintf(stderr, "kovctl export: %s: %s\n", path.c_str(),
                   bad->message.empty() ? "cannot be read" : bad->message.c_str());
    std::fprintf(stderr, "kovctl export: nothing written\n");
    return 3;
  }
  if (tab != kov::TabAll) {
    table.SetFilter([tab, chars](const kov::AccountTable& t, kov::RowId r) {
      return kov::AcceptsTab(t, r, tab, chars);
    });
    table.SetFiltered(true);
  }

  const auto columns = kov::DefaultExportColumns();
  const kov::ExportResult result = format == Format::Html  ? kov::ExportHtml(table, columns, out)
                                   : format == Format::Csv ? kov::ExportCsv(table, columns, out)
                                                           : kov::ExportXlsx(table, columns, out);
  if (!result.ok) {
    std::fprintf(stderr, "kovctl export: %s\n", result.error.c_str());
    return 1;
  }
  std::printf("%d\n", result.rows);
  return 0;
}

kovctl::Register reg("export", kUsage, Export);

}  // namespace
