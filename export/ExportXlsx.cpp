#include "export/ExportXlsx.h"

#include <xlsxwriter.h>

#include <algorithm>

#include "export/WorkbookCheck.h"
#include "store/Cp1252.h"
#include "store/Files.h"

namespace kov {

namespace {

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Row and column limits of a worksheet.
constexpr std::int64_t kMaxSheetRows = 1048576;

// The cell text into `out`, reused from cell to cell: most cells are plain ASCII and cost a
// copy, no conversion and no allocation.
const char* CellTextInto(std::string_view cp1252, std::string& out) {
  const bool ascii = std::all_of(cp1252.begin(), cp1252.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii && cp1252.find("_x") == std::string_view::npos)
    out.assign(cp1252);
  else
    out = XlsxCellText(cp1252);
  return out.c_str();
}

// Characters of an integer written in decimal.
std::size_t DecimalWidth(std::int32_t v) {
  std::size_t n = v < 0 ? 2 : 1;
  for (std::int64_t a = v < 0 ? -static_cast<std::int64_t>(v) : v; a >= 10; a /= 10) ++n;
  return n;
}

}  // namespace

std::string XlsxCellText(std::string_view cp1252) {
  std::string utf8 = Cp1252ToUtf8(cp1252);
  if (utf8.find("_x") == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size() + 16);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '_' && i + 6 < utf8.size() && utf8[i + 1] == 'x' && IsHex(utf8[i + 2]) &&
        IsHex(utf8[i + 3]) && IsHex(utf8[i + 4]) && IsHex(utf8[i + 5]) && utf8[i + 6] == '_')
      out += "_x005F";
    out += utf8[i];
  }
  return out;
}

double XlsxColumnWidth(std::size_t chars) {
  // A little room for the cell margins; 255 is the largest width a column can have.
  return std::min(255.0, static_cast<double>(std::max<std::size_t>(chars, 2)) * 1.1 + 2.0);
}

ExportResult ExportXlsx(const AccountTable& table, const std::vector<ExportColumn>& columns,
                        const std::string& path, const ExportProgressFn& progress) {
  ExportResult result;
  if (static_cast<std::int64_t>(table.ViewCount()) + 1 > kMaxSheetRows) {
    result.error = "Cannot write " + path + ": a worksheet holds at most " +
                   std::to_string(kMaxSheetRows - 1) + " records";
    return result;
  }
  // The library writes to a path: an owner-only temporary file beside the target, which the
  // library truncates and fills, keeping its permissions.
  AtomicFile file;
  if (!file.Open(path, AtomicFile::Access::OwnerOnly, result.error)) return result;

  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;  // rows stream to an unnamed temporary file
  options.tmpdir = nullptr;
  lxw_workbook* book = workbook_new_opt(file.TempPath().c_str(), &options);
  if (!book) {
    result.error = "Cannot write " + path + ": out of memory";
    return result;
  }
  lxw_doc_properties props{};
  props.title = const_cast<char*>("KOV Export");
  workbook_set_properties(book, &props);
  lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
  // Printed, the grid's columns fit the page's width (the page stays portrait, as the
  // export has always set it); a list of accounts runs as long as it is.
  if (sheet) worksheet_fit_to_pages(sheet, 1, 0);
  lxw_format* titleFormat = workbook_add_format(book);
  format_set_bold(titleFormat);
  format_set_bg_color(titleFormat, 0xA6CAF0);
  format_set_border(titleFormat, LXW_BORDER_THIN);

  std::string firstError;
  auto check = [&](lxw_error err) {
    if (err != LXW_NO_ERROR && firstError.empty()) firstError = lxw_strerror(err);
    return err == LXW_NO_ERROR;
  };

  std::vector<std::size_t> widths(columns.size(), 0);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const std::string title = XlsxCellText(columns[c].title);
    widths[c] = columns[c].title.size();
    check(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), title.c_str(), titleFormat));
  }

  lxw_row_t r = 1;
  std::string text;
  WalkExportRows(table, progress, [&](RowId row) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const Field f = columns[c].field;
      const auto col = static_cast<lxw_col_t>(c);
      if (IsNumberColumn(columns[c])) {
        const auto v = NumberCell(table, row, columns[c]);
        if (!v) continue;
        widths[c] = std::max(widths[c], DecimalWidth(*v));
        if (!check(worksheet_write_number(sheet, r, col, *v, nullptr))) return false;
      } else {
        const std::string_view bytes = table.Text(row, f);
        if (bytes.empty()) continue;
        widths[c] = std::max(widths[c], bytes.size());  // one character per byte
        if (!check(worksheet_write_string(sheet, r, col, CellTextInto(bytes, text), nullptr)))
          return false;
      }
    }
    ++r;
    ++result.rows;
    return true;
  });

  for (std::size_t c = 0; c < columns.size(); ++c)
    check(worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                               XlsxColumnWidth(widths[c]), nullptr));
  worksheet_set_portrait(sheet);
  worksheet_freeze_panes(sheet, 1, 0);
  worksheet_activate(sheet);

  const lxw_error closed = workbook_close(book);  // frees the workbook on every path
  if (!firstError.empty() || closed != LXW_NO_ERROR) {
    result.error = "Cannot write " + path + ": " +
                   (firstError.empty() ? std::string(lxw_strerror(closed)) : firstError);
    file.Discard();
    result.rows = 0;
    return result;
  }
  std::string damage;
  if (!CheckWorkbook(file.TempPath(), damage)) {
    result.error =
        "Cannot write " + path + ": " + damage + " (is the disk or the temporary folder full?)";
    file.Discard();
    result.rows = 0;
    return result;
  }
  result.ok = file.Commit(result.error);
  if (!result.ok) result.rows = 0;
  return result;
}

}  // namespace kov
