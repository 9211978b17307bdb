#pragma once
// The grid as an .xlsx workbook: one worksheet, row 1 the titles, then one row per record;
// integer fields as numbers, columns as wide as their contents, portrait page.
#include <string>
#include <string_view>
#include <vector>

#include "export/ExportColumns.h"

namespace kov {

// A cell text as the workbook stores it: UTF-8, with a literal "_xHHHH_" protected, since
// spreadsheet programs read that sequence as an escaped character.
std::string XlsxCellText(std::string_view cp1252);

// Column width in character units for the longest text of `chars` characters.
double XlsxColumnWidth(std::size_t chars);

// Writes the workbook under a temporary name beside `path`, readable by its owner only,
// and renames it over `path` only when complete.
ExportResult ExportXlsx(const AccountTable& table, const std::vector<ExportColumn>& columns,
                        const std::string& path, const ExportProgressFn& progress = {});

}  // namespace kov
