#pragma once
// Reads a written workbook back. The spreadsheet library does not check the writes to its
// own temporary files, so a full disk can leave a cut-off sheet inside a zip that it
// reports as written; this check finds that before the file replaces anything.
#include <string>

namespace kov {

// True when every member of the zip at `path` inflates to its recorded size and checksum and
// every XML member ends with the end tag of its root element; otherwise `error` says why.
bool CheckWorkbook(const std::string& path, std::string& error);

}  // namespace kov
