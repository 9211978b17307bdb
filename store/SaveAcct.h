#pragma once
// Writes the pending rows (changed or new) as the account-update file the server takes over.
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "store/AccountTable.h"
#include "store/History.h"

namespace kov {

constexpr const char* kUpdateFileHeader = "//created with Vornex Account Manager (KOV)";

struct SaveResult {
  enum class Status {
    Written,             // the file was replaced; see `told`
    AccountFileMissing,  // VornexAccu.scp is not in the folder: nothing written (path in `path`)
    UpdateFileMissing,   // VornexAcct.scp is not in the folder: nothing written
    ValueRefused,        // a value would split into several lines: nothing written
    WriteFailed,         // the file could not be replaced; the old one is whole (`message`)
  };
  Status status = Status::WriteFailed;
  std::string path;     // the update file (or the missing file)
  std::string message;  // for WriteFailed
  std::string account;  // ValueRefused: the account and the field
  std::string field;
  std::vector<RowId> written;  // rows in the file, in table order
  bool live = false;           // the server was to be told
  bool told = false;           // "A" was delivered
  int takenOver = 0;           // written rows the server took over (they are stored now)
  int waiting = 0;             // written rows not taken over when the wait ended
  int overwritten = 0;         // of these: emptied from the file by a take-over that had read
                               // it before this save; pending again, written at the next save
  int kept = 0;                // sections of the old file kept (not yet taken over, or foreign)
  std::string consoleMessage;  // live but not delivered: what the console reported
  int historyLines = 0;        // lines added to the change history
  std::string historyError;    // the history could not be written (the save itself stands)
  bool ok() const { return status == Status::Written; }
};

// Who saves and where the change history goes.
struct SaveHistory {
  std::string path;   // the history file
  std::string user;   // CurrentUserName()
  std::string shard;  // the account folder as the operator knows it
  // Accounts (exact names, Windows-1252) whose pending values were brought back from a
  // backup: their lines say "restore".
  std::unordered_set<std::string> restored;
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
  // After "A" was delivered: how long to wait for the server to take the file over (0: not
  // at all), and the pause between looks (a window keeps painting in it; the default sleeps).
  int takeOverWaitMs = 0;
  std::function<void(int milliseconds)> pause;
  // When set, every field written is appended to the history, its old value taken from the
  // server's account file before the server is told.
  const SaveHistory* history = nullptr;
};

// The fields the update file carries, so the ones the history and a restore look at.
const std::vector<Field>& UpdateFields();

// The history lines of rows about to be written: per field that differs from the server's
// account file (`server`, may be null: every row new to it), with `takenOver` false.
std::vector<HistoryRecord> HistoryRecordsFor(const AccountTable& table,
                                             const std::vector<RowId>& rows,
                                             const AccountTable* server,
                                             const SaveHistory& history);

// The account names of the sections in an update file; nullopt when it cannot be read.
std::optional<std::vector<std::string>> UpdateFileSections(const std::string& updateFile);
// Rows written for the server (AccountTable::IsWritten) whose sections are gone from the
// update file and whose values the server's account file (beside it) holds: the server took
// them over, so they become stored. Returns how many; none when either file cannot be read.
// Rows a filter hides cannot be stored now: `hidden` counts them, for a later look. A row
// gone from the file but not in the server's accounts was lost by a take-over racing a save:
// it stays pending, no longer written, and `overwritten` counts it.
int MarkTakenOver(AccountTable& table, const std::string& updateFile, int* hidden = nullptr,
                  int* overwritten = nullptr);

// The update file's bytes for the given rows (CR LF after every line).
std::string BuildUpdateFile(const AccountTable& table, const std::vector<RowId>& rows);
// Why a row cannot be written (a CR, LF or NUL in a value): the field's name, else "".
std::string UnwritableField(const AccountTable& table, RowId row);

// Walks every row in table order (the caller has reset the filter), writes the pending ones
// into `accountDir` + VornexAcct.scp, and when live tells the server. Sections already in the
// file for accounts not written now (not yet taken over, or written by another tool) are
// kept: no update is dropped. Written rows become stored only when the server has taken
// their sections over; until then they stay pending, marked written.
SaveResult WriteAccountUpdates(AccountTable& table, const std::string& accountDir,
                               const SaveOptions& options);

}  // namespace kov
