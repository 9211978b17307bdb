#include "export/ExportHtml.h"

#include "store/Files.h"
#include "store/LetterCase.h"

namespace kov {

const char* const kHtmlHeaderTemplate[5] = {"<html><head><title><#TITLE></title>",
                                            "<style type=text/css>", "#STYLE", "</style>",
                                            "</head><body>"};

namespace {

constexpr std::string_view kCrLf = "\r\n";
// Without it a browser guesses the encoding and shows the bytes above 127 as mojibake.
constexpr std::string_view kCharsetLine =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">";
constexpr std::size_t kFlushBytes = 1 << 20;

const char* CellClass(const ExportColumn& c) {
  if (c.field == dbstatus) return " class=s";
  return IsNumberColumn(c) ? " class=n" : "";
}

}  // namespace

std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view what,
                                 std::string_view with) {
  if (what.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    bool match = i + what.size() <= text.size();
    for (std::size_t k = 0; match && k < what.size(); ++k)
      match = AsciiUpper(text[i + k]) == AsciiUpper(what[k]);
    if (match) {
      out += with;
      i += what.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

void AppendHtmlEscaped(std::string& out, std::string_view bytes) {
  for (char c : bytes) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
}

std::string HtmlStyleRules(const std::vector<ExportColumn>& columns) {
  // The title row takes the grid's sky blue; alternate rows are tinted for reading across.
  std::string rules =
      "body{margin:16px;font:13px/1.4 \"Segoe UI\",Tahoma,Arial,sans-serif;color:#1b1b1b;"
      "background:#fff}\r\n"
      "table{border-collapse:collapse;font:inherit}\r\n"
      "th,td{border:1px solid #b7c7d8;padding:3px 9px;text-align:left;white-space:pre}\r\n"
      "th{background:#a6caf0;font-weight:bold}\r\n"
      "tr:nth-child(even) td{background:#eef4fb}\r\n"
      "tr:hover td{background:#fdf3c8}";
  bool status = false, number = false;
  for (const ExportColumn& c : columns) {
    if (c.field == dbstatus)
      status = true;
    else if (IsNumberColumn(c))
      number = true;
  }
  if (status) rules += "\r\ntd.s{text-align:center}";
  if (number) rules += "\r\ntd.n{text-align:right}";
  return rules;
}

bool WriteHtmlPage(const AccountTable& table, const std::vector<ExportColumn>& columns,
                   AtomicFile& out, const ExportProgressFn& progress, int* rows) {
  std::string buf;
  buf.reserve(kFlushBytes + 4096);
  bool ok = true;
  auto flush = [&] {
    if (ok && !buf.empty()) ok = out.Write(buf.data(), buf.size());
    buf.clear();
    return ok;
  };

  std::string header;
  for (int i = 0; i < 5; ++i) {
    header += kHtmlHeaderTemplate[i];
    header += kCrLf;
    if (i == 0) {
      header += kCharsetLine;
      header += kCrLf;
    }
  }
  header = ReplaceAllIgnoreCase(header, "<#TITLE>", kHtmlDocumentTitle);
  header = ReplaceAllIgnoreCase(header, "#STYLE", HtmlStyleRules(columns));
  buf += header;

  buf += "<table>\r\n<tr>";
  for (const ExportColumn& c : columns) {
    buf += "<th>";
    if (c.title.empty())
      buf += "&nbsp;";
    else
      AppendHtmlEscaped(buf, c.title);
    buf += "</th>";
  }
  buf += "</tr>\r\n";

  int written = 0;
  WalkExportRows(table, progress, [&](RowId row) {
    buf += "<tr>";
    for (const ExportColumn& c : columns) {
      buf += "<td";
      buf += CellClass(c);
      buf += '>';
      if (IsNumberColumn(c)) {
        const auto v = NumberCell(table, row, c);
        buf += v ? std::to_string(*v) : "&nbsp;";
      } else {
        const std::string_view text = table.Text(row, c.field);
        if (text.empty())
          buf += "&nbsp;";
        else
          AppendHtmlEscaped(buf, text);
      }
      buf += "</td>";
    }
    buf += "</tr>\r\n";
    ++written;
    return buf.size() < kFlushBytes || flush();
  });
  buf += "</table>\r\n";
  buf += kHtmlFooterTemplate;
  buf += kCrLf;
  flush();
  if (rows) *rows = written;
  return ok;
}

ExportResult ExportHtml(const AccountTable& table, const std::vector<ExportColumn>& columns,
                        const std::string& path, const ExportProgressFn& progress) {
  ExportResult result;
  AtomicFile file;
  if (!file.Open(path, AtomicFile::Access::OwnerOnly, result.error)) return result;
  if (!WriteHtmlPage(table, columns, file, progress, &result.rows)) {
    result.error = file.WriteErrorText();
    file.Discard();
    return result;
  }
  result.ok = file.Commit(result.error);
  return result;
}

}  // namespace kov
