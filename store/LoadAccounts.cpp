#include "store/LoadAccounts.h"

namespace kov {

LoadResult LoadAccountFolder(AccountTable& table, const std::string& dir,
                             const ReadOptions& options) {
  const std::string acc = JoinPath(dir, kAccountFileName);
  const std::string upd = JoinPath(dir, kUpdateFileName);
  LoadResult r;
  for (int attempt = 0;; ++attempt) {
    r = LoadResult{};
    const FileVersion updateBefore = VersionOfPath(upd);
    if (FileExists(acc)) {
      r.accountFileFound = true;
      r.account = ReadAccountFile(table, acc, options);
      if (!r.account.ok()) return r;
    }
    if (FileExists(upd)) {
      r.updateFileFound = true;
      r.update = ReadAccountUpdateFile(table, upd, options);
    }
    if (!UpdateFileTakenOverMeanwhile(updateBefore, upd) || attempt == kLoadAttempts - 1) return r;
    table.Empty();
  }
}

bool UpdateFileTakenOverMeanwhile(const FileVersion& before, const std::string& updateFile) {
  return before.known && before.size > 0 && !(VersionOfPath(updateFile) == before);
}

}  // namespace kov
