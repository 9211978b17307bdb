#pragma once
// The grid as an HTML page: header template, a table of the exported columns, footer.
// Windows-1252 bytes with CR LF line ends, every cell escaped.
#include <string>
#include <string_view>
#include <vector>

#include "export/ExportColumns.h"

namespace kov {

class AtomicFile;

constexpr const char* kHtmlDocumentTitle = "KOV Export";
// "<#TITLE>" and "#STYLE" are placeholders, replaced ignoring letter case.
extern const char* const kHtmlHeaderTemplate[5];
constexpr const char* kHtmlFooterTemplate = "</body></html>";

// Every occurrence of `what`, compared without regard to ASCII letter case.
std::string ReplaceAllIgnoreCase(std::string_view text, std::string_view what,
                                 std::string_view with);
// &, <, >, " and ' as entities, so no cell can become markup.
void AppendHtmlEscaped(std::string& out, std::string_view bytes);
std::string HtmlStyleRules(const std::vector<ExportColumn>& columns);

// Writes the page to `out`; false (with `error` untouched) when a write failed.
bool WriteHtmlPage(const AccountTable& table, const std::vector<ExportColumn>& columns,
                   AtomicFile& out, const ExportProgressFn& progress, int* rows = nullptr);

// Writes the page to a temporary file beside `path`, readable by its owner only, and renames
// it over `path` only when complete.
ExportResult ExportHtml(const AccountTable& table, const std::vector<ExportColumn>& columns,
                        const std::string& path, const ExportProgressFn& progress = {});

}  // namespace kov
