#include "store/SaveAcct.h"

#include <cstring>

#include "store/Files.h"
#include "store/LoadAccounts.h"
#include "store/ScriptSyntax.h"


namespace kov {

namespace {

const Field kWrittenFields[] = {dbaccount, dbplevel,   dbpriv,  dbpasswort,
                                dbchatname, dblanguage, dbemail, dbcommend};

// The server and the mail program get the bare address.
std::string_view BareEmail(std::string_view e) {
  if (e.size() >= 2 && e.front() == '"' && e.back() == '"') return e.substr(1, e.size() - 2);
  return e;
}

void Line(std::string& out, std::string_view a, std::string_view b = {}) {
  out.append(a);
  out.append(b);
  out.append("\r\n");
}

}  // namespace

std::string UnwritableField(const AccountTable& table, RowId row) {
  for (Field f : kWrittenFields) {
    const std::string_view v = table.Text(row, f);
    if (v.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
      return FieldInfoOf(f).name;
  }
  return {};
}

std::string BuildUpdateFile(const AccountTable& table, const std::vector<RowId>& rows) {
  std::string out;
  out.reserve(64 + rows.size() * 160);
  Line(out, kUpdateFileHeader);
  for (RowId r : rows) {
    out += '[';
    out.append(table.Text(r, dbaccount));
    out += "]\r\n";
    Line(out, "PLEVEL=", table.Text(r, dbplevel));
    const std::string_view priv = table.Text(r, dbpriv);
    Line(out, "PRIV=", priv.empty() ? priv : priv.substr(1));
    Line(out, table.Int(r, dbblock) == 1 ? "BLOCK=1" : "BLOCK=0");
    Line(out, table.Int(r, dbjail) == 1 ? "JAIL=1" : "JAIL=0");
    Line(out, "PASSWORD=", table.Text(r, dbpasswort));
    Line(out, "CHATNAME=", table.Text(r, dbchatname));
    if (!table.Text(r, dblanguage).empty()) Line(out, "LANG=", table.Text(r, dblanguage));
    Line(out, "EMAIL=", BareEmail(table.Text(r, dbemail)));
    Line(out, "TAG.COMMENT=", table.Text(r, dbcommend));
    Line(out, "");
  }
  return out;
}

SaveResult WriteAccountUpdates(AccountTable& table, const std::string& accountDir,
                               const SaveOptions& options) {
  SaveResult result;
  const std::string accountFile = JoinPath(accountDir, kAccountFileName);
  const std::string updateFile = JoinPath(accountDir, kUpdateFileName);
  result.path = updateFile;
  if (!FileExists(accountFile)) {
    result.status = SaveResult::Status::AccountFileMissing;
    result.path = accountFile;
    return result;
  }
  if (!FileExists(updateFile)) {
    result.status = SaveResult::Status::UpdateFileMissing;
    return result;
  }
  // The server's file stays as the operator left it: a read-only file is not replaced.
  if (IsReadOnlyFile(updateFile)) {
    result.status = SaveResult::Status::WriteFailed;
    result.message = "The file is read-only: " + updateFile;
    return result;
  }
  result.live = options.live;

  const std::vector<RowId> order = table.Order();
  const int total = static_cast<int>(order.size());
  for (int i = 0; i < total; ++i) {
    const RowId r = order[static_cast<size_t>(i)];
    const auto status = table.Int(r, dbstatus);
    if (status != StatusChanged && status != StatusNew) continue;
    if (options.progress) options.progress(i, total, r);
    const std::string bad = UnwritableField(table, r);
    if (!bad.empty()) {
      result.status = SaveResult::Status::ValueRefused;
      result.account = std::string(table.Text(r, dbaccount));
      result.field = bad;
      result.written.clear();
      return result;
    }
    result.written.push_back(r);
  }

  const std::string bytes = BuildUpdateFile(table, result.written);
  std::string error;
  const bool written = options.writeFile ? options.writeFile(updateFile, bytes, error)
                                         : WriteFileAtomically(updateFile, bytes, error);
  if (!written) {
    result.status = SaveResult::Status::WriteFailed;
    result.message = error;
    return result;
  }
  result.status = SaveResult::Status::Written;
  if (!result.live) return result;

  std::string why;
  result.told = options.tellServer && options.tellServer(why);
  if (!result.told) {
    result.consoleMessage = why;
    return result;  // the rows stay pending: the server has not taken them over
  }
  for (RowId r : result.written) {
    table.SetCurrent(r);
    if (table.Current() != r) continue;  // hidden by a filter the caller left on
    table.Edit();
    table.SetInt(dbstatus, StatusStored);
    table.Post();
  }
  return result;
}

}  // namespace kov
