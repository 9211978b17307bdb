#pragma once
// Restoring accounts from a backup: the backup decoded in memory (its dump holds every
// password and never touches the disk), compared with the current table, and chosen accounts
// or fields laid onto the table as pending rows, which reach the server through Save.
#include <cstdint>
#include <string>
#include <vector>

#include "store/AccountTable.h"

namespace kov {

struct BackupReadResult {
  enum class Status {
    Ok,
    Missing,    // no file at the path
    ReadError,  // `message` says why
    Empty,      // 0 bytes
    Truncated,  // the stream ends before its last symbol
    NotBackup,  // not a backup of this program, or damaged inside (`message` says where)
  };
  Status status = Status::ReadError;
  std::string message;  // for the operator, in English (kovctl), with the detail
  std::string date;     // the "Backup from" text
  int rows = 0;
  std::int64_t bytesRecovered = 0;  // Truncated: of `bytesExpected`
  std::int64_t bytesExpected = 0;
  bool ok() const { return status == Status::Ok; }
};

// Reads the backup at `path` into `table` (emptied first). Nothing is written anywhere.
BackupReadResult ReadBackup(const std::string& path, AccountTable& table);
// The same from the file's bytes (tests, fuzzing).
BackupReadResult ReadBackupBytes(std::string_view stream, AccountTable& table);

// The fields a restore can bring back: those the update file carries.
const std::vector<Field>& RestorableFields();

struct RestoreItem {
  enum class Kind { Deleted, Changed, New };  // since the backup
  Kind kind = Kind::Changed;
  RowId backupRow = kNoRow;
  RowId currentRow = kNoRow;
  std::vector<Field> fields;  // Changed: the restorable fields whose values differ
  // Of `fields`: the current value is the operator's unsaved change, not the server's.
  std::vector<Field> pending;
  bool IsPending(Field f) const;
};

struct RestoreDiff {
  std::vector<RestoreItem> items;  // deleted and changed in the backup's order, then new
  int deleted = 0;
  int changed = 0;
  int added = 0;
  int backupRows = 0;
  // The backup holds accounts, and none of them is in the table: another shard's backup.
  bool foreign = false;
};

// Compares by exact account name (the first row so named on either side). `server`: the
// server's account file, to tell pending changes apart (null: every differing field of a
// pending row counts as pending).
RestoreDiff DiffWithBackup(const AccountTable& backup, const AccountTable& current,
                           const AccountTable* server = nullptr);

enum class PendingChoice { KeepPending, TakeBackup };

// Lays one item onto the table: a deleted account comes back as a new row with the backup's
// values; a changed one gets the backup's values of `fields` (empty: all of the item's) and
// becomes changed. With KeepPending a field holding an unsaved change keeps it. The rows must
// be in the view (the caller resets the filter). Returns how many fields were set (a deleted
// account counts its restorable fields).
int ApplyRestore(AccountTable& table, const AccountTable& backup, const RestoreItem& item,
                 const std::vector<Field>& fields, PendingChoice choice);

}  // namespace kov
