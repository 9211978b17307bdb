#include "store/LoadAccounts.h"

namespace kov {

LoadResult LoadAccountFolder(AccountTable& table, const std::string& dir,
                             const ReadOptions& options) {
  LoadResult r;
  const std::string acc = JoinPath(dir, kAccountFileName);
  if (FileExists(acc)) {
    r.accountFileFound = true;
    r.account = ReadAccountFile(table, acc, options);
    if (!r.account.ok()) return r;
  }
  const std::string upd = JoinPath(dir, kUpdateFileName);
  if (FileExists(upd)) {
    r.updateFileFound = true;
    r.update = ReadAccountUpdateFile(table, upd, options);
  }
  return r;
}

}  // namespace kov
