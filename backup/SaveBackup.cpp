#include "backup/SaveBackup.h"

#include <cstdio>

#include "backup/Huffman_Work.h"

namespace kov {

namespace {

void AppendLine(std::string& out, std::string_view text) {
  out.append(text);
  out.append("\r\n", 2);
}

// The dump holds every password: do not leave it in freed memory.
void Wipe(std::string& text) {
  volatile char* p = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
  text.shrink_to_fit();
}

}  // namespace

std::string BuildBackupDump(const AccountTable& table, std::string_view dateText,
                            const BackupProgress& progress) {
  std::string out;
  AppendLine(out, "//Created with Vornex Script Manager");
  out.append("//Backup from ");
  AppendLine(out, dateText);
  AppendLine(out, "");
  AppendLine(out, "VERSION=1");
  AppendLine(out, "");

  const std::vector<RowId>& order = table.Order();
  out.reserve(out.size() + order.size() * 200);
  char number[16];
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (progress) progress(i, order.size());
    const RowId row = order[i];
    out += '[';
    out.append(table.Text(row, dbaccount));
    AppendLine(out, "]");
    for (int f = dbaccount + 1; f < kFieldCount; ++f) {
      const auto field = static_cast<Field>(f);
      if (FieldInfoOf(field).isInteger) {
        const int n = std::snprintf(number, sizeof number, "%d", table.IntOr0(row, field));
        AppendLine(out, std::string_view(number, static_cast<std::size_t>(n)));
      } else {
        AppendLine(out, table.Text(row, field));
      }
    }
    AppendLine(out, "");
  }
  return out;
}

BackupResult WriteBackup(const AccountTable& table, const std::string& backupPath,
                         std::string_view dateText, const BackupProgress& progress) {
  BackupResult result;
  std::string dump = BuildBackupDump(table, dateText, progress);
  result.rows = table.Order().size();
  result.dumpBytes = dump.size();
  MemoryInput input(dump);
  const HuffmanFileResult written = HuffmanCompressToFile(input, backupPath);
  Wipe(dump);
  result.ok = written.ok;
  result.error = written.error;
  return result;
}

std::string SafeFileNameText(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
        c == '"' || c == '<' || c == '>' || c == '|') {
      c = '-';
    }
  }
  return safe;
}

std::string BackupFileName(std::string_view dateText) {
  return "Kov_" + SafeFileNameText(dateText) + ".bak";
}

}  // namespace kov
