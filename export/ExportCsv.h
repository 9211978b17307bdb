#pragma once
// The grid as comma-separated values: a title line and one line per row of the view, in
// UTF-8 with a byte-order mark, CR LF line ends.
#include <string>
#include <string_view>
#include <vector>

#include "export/ExportColumns.h"

namespace kov {

// One cell (Windows-1252 in and out): quoted when it holds a comma, a quote, a line break or
// outer blanks; a text cell beginning with "=", "+", "-", "@", a tab or a carriage return
// gets a leading apostrophe so that a spreadsheet shows it as text instead of running it as
// a formula. A number column's cell is left a number.
std::string CsvCell(std::string_view bytes, bool number = false);

// Writes to a temporary file beside `path` and renames it over `path` only when complete.
ExportResult ExportCsv(const AccountTable& table, const std::vector<ExportColumn>& columns,
                       const std::string& path, const ExportProgressFn& progress = {});

}  // namespace kov
