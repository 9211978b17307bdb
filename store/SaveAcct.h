#pragma once
// Writes the pending rows (changed or new) as the account-update file the server takes over.
#include <functional>
#include <string>
#include <vector>

#include "store/AccountTable.h"

namespace kov {

constexpr const char* kUpdateFileHeader = "//created with Vornex Account Manager (KOV)";

struct SaveResult {
  enum class Status {
    Written,            // the file was replaced; see `told`
    AccountFileMissing, // VornexAccu.scp is not in the folder: nothing written (path in `path`)
    UpdateFileMissing,  // VornexAcct.scp is not in the folder: nothing written
    ValueRefused,       // a value would split into several lines: nothing written
    WriteFailed,        // the file could not be replaced; the old one is whole (`message`)
  };
  Status status = Status::WriteFailed;
  std::string path;       // the update file (or the missing file)
  std::string message;    // for WriteFailed
  std::string account;    // ValueRefused: the account and the field
  std::string field;
  std::vector<RowId> written;  // rows in the file, in table order
  bool live = false;           // the server was to be told
  bool told = false;           // "A" was delivered; the written rows are stored now
  std::string consoleMessage;  // live but not delivered: what the console reported
  bool ok() const { return status == Status::Written; }
};

struct SaveOptions {
  bool live = false;  // IsServerRunning(VORNEXDIR) and ACCAUTOUPDATE, decided once by the caller
  // Types "A" into the server's console; returns whether it was delivered, and why not.
  std::function<bool(std::string& why)> tellServer;
  // Called per pending row before its block is written: index in the table order, the total,
  // and the row.
  std::function<void(int index, int total, RowId row)> progress;
  // Replaces the whole file, or fails leaving the old one; injectable for tests.
  std::function<bool(const std::string& path, const std::string& bytes, std::string& error)>
      writeFile;
};

// The update file's bytes for the given rows (CR LF after every line).
std::string BuildUpdateFile(const AccountTable& table, const std::vector<RowId>& rows);
// Why a row cannot be written (a CR, LF or NUL in a value): the field's name, else "".
std::string UnwritableField(const AccountTable& table, RowId row);

// Walks every row in table order (the caller has reset the filter), writes the pending ones
// into `accountDir` + VornexAcct.scp, and when live tells the server; the written rows become
// stored only after the file was written and "A" was delivered.
SaveResult WriteAccountUpdates(AccountTable& table, const std::string& accountDir,
                               const SaveOptions& options);

}  // namespace kov
