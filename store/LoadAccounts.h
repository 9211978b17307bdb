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

LoadResult LoadAccountFolder(AccountTable& table, const std::string& dir,
                             const ReadOptions& options = {});

}  // namespace kov
