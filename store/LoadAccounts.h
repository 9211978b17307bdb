#pragma once
// The load sequence without a window: the account file, then the update file, each only
// when it exists. The program's own sequence adds log lines and refills between the steps.
#include <string>

#include "store/Files.h"
#include "store/ReadAcct.h"

namespace kov {

constexpr const char* kAccountFileName = "VornexAccu.scp";
constexpr const char* kUpdateFileName = "VornexAcct.scp";

struct LoadResult {
  bool accountFileFound = false;
  bool updateFileFound = false;
  ReadResult account;  // Ok when the file was not there
  ReadResult update;   // Ok when the file was not there or was not reached
  bool complete() const { return account.ok() && update.ok(); }
  const ReadResult* failure() const {
    return !account.ok() ? &account : !update.ok() ? &update : nullptr;
  }
};

// Into an empty table. A take-over between the two reads would leave the old accounts
// without the updates they were just given (the server writes its accounts, then empties
// the update file): the folder is then read again, up to kLoadAttempts times.
LoadResult LoadAccountFolder(AccountTable& table, const std::string& dir,
                             const ReadOptions& options = {});

constexpr int kLoadAttempts = 5;
// Whether the update file, as it was (`before`) when the account file's read began, was
// replaced by the time its own read ended: a torn pair of reads.
bool UpdateFileTakenOverMeanwhile(const FileVersion& before, const std::string& updateFile);

}  // namespace kov
