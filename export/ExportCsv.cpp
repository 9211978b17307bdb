#include "export/ExportCsv.h"

#include "store/Cp1252.h"
#include "store/Files.h"

namespace kov {

std::string CsvCell(std::string_view bytes, bool number) {
  std::string text;
  text.reserve(bytes.size() + 3);
  // A formula guard must sit inside the quotes, where a spreadsheet reads the cell's text. A
  // spreadsheet also skips a leading tab or carriage return before an "=". A number column
  // ("-1" days) stays a number, so it sorts and sums.
  if (!number && !bytes.empty() &&
      std::string_view("=+-@\t\r").find(bytes[0]) != std::string_view::npos)
    text += '\'';
  text.append(bytes);
  const bool quote = text.find_first_of(",\"\r\n;\t") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out;
  out.reserve(text.size() + 4);
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

ExportResult ExportCsv(const AccountTable& table, const std::vector<ExportColumn>& columns,
                       const std::string& path, const ExportProgressFn& progress) {
  ExportResult result;
  AtomicFile file;
  if (!file.Open(path, AtomicFile::Access::OwnerOnly, result.error)) return result;
  std::string buffer;
  bool ok = true;
  auto flush = [&] {
    if (ok && !buffer.empty()) ok = file.Write(buffer.data(), buffer.size());
    buffer.clear();
  };
  // UTF-8 with a byte-order mark, which spreadsheets detect; raw Windows-1252 they would
  // have to guess.
  buffer = "\xEF\xBB\xBF";
  std::string cells;
  auto line = [&](auto cellOf, bool titles) {
    cells.clear();
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) cells += ',';
      cells += CsvCell(cellOf(columns[i]), !titles && IsNumberColumn(columns[i]));
    }
    cells += "\r\n";
    buffer += Cp1252ToUtf8(cells);
    if (buffer.size() > (1u << 16)) flush();
  };
  line([](const ExportColumn& c) -> std::string { return c.title; }, true);
  int rows = 0;
  WalkExportRows(table, progress, [&](RowId row) {
    line([&](const ExportColumn& c) { return CellText(table, row, c); }, false);
    ++rows;
    return ok;
  });
  flush();
  if (!ok) {
    result.error = file.WriteErrorText();
    file.Discard();
    return result;
  }
  result.rows = rows;
  result.ok = file.Commit(result.error);
  return result;
}

}  // namespace kov
