#pragma once
// The grid as comma-separated values: a title line and one line per row of the view,
// Windows-1252 bytes with CR LF line ends.
#include <string>
#include <string_view>
#include <vector>

#include "export/ExportColumns.h"

namespace kov {

// One cell: quoted when it holds a comma, a quote, a line break or outer blanks; a cell
// beginning with "=", "+", "-" or "@" gets a leading apostrophe so that a spreadsheet shows
// it as text instead of running it as a formula.
std::string CsvCell(std::string_view bytes);

// Writes to a temporary file beside `path` and renames it over `path` only when complete.
ExportResult ExportCsv(const AccountTable& table, const std::vector<ExportColumn>& columns,
                       const std::string& path, const ExportProgressFn& progress = {});

}  // namespace kov
