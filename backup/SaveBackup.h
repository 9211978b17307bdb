#pragma once
// The backup of the whole account table: a plain-text dump of every row, compressed with
// the Huffman coder. The dump holds every password, so it is built in memory and never
// touches the disk; the backup file itself is created readable by its owner only.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "store/AccountTable.h"

namespace kov {

constexpr const char* kBackupLogText = "Backup Save as ";

// Position (the row's number, from 0) and maximum (the number of rows).
using BackupProgress = std::function<void(std::size_t row, std::size_t rowCount)>;

struct BackupResult {
  bool ok = false;
  std::string error;  // for the operator: what failed, with the file and the reason
  std::size_t rows = 0;
  std::size_t dumpBytes = 0;
};

// Five header lines ("//Backup from " + dateText), then one 25-line block per row in table
// order, every line ending with CR LF.
std::string BuildBackupDump(const AccountTable& table, std::string_view dateText,
                            const BackupProgress& progress = {});

// Writes the compressed dump into `backupPath`, replacing an existing file only once the
// new one is whole.
BackupResult WriteBackup(const AccountTable& table, const std::string& backupPath,
                         std::string_view dateText, const BackupProgress& progress = {});

// The date text with every character that cannot stand in a file name (on Windows or
// elsewhere) replaced by "-".
std::string SafeFileNameText(std::string_view text);
// "Kov_%s.bak" with the date text made safe.
std::string BackupFileName(std::string_view dateText);

}  // namespace kov
