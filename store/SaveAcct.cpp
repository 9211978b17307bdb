#include "store/SaveAcct.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "store/Cp1252.h"
#include "store/Files.h"
#include "store/LetterCase.h"
#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "store/RemoveSections.h"
#include "store/ScriptSyntax.h"

namespace kov {

namespace {

// Where the first section starts; the header lines before it are the writer's own.
size_t SectionsStart(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '[') return pos;
    const size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) return text.size();
    pos = text.find_first_not_of("\r\n", end);
    if (pos == std::string_view::npos) return text.size();
  }
  return text.size();
}

int CountSections(std::string_view text) {
  int n = 0;
  LineSplitter lines(text);
  std::string_view line;
  while (lines.Next(line))
    if (!line.empty() && line[0] == '[' && !IsEofName(SectionName(line))) ++n;
  return n;
}

const Field kWrittenFields[] = {dbaccount,  dbplevel,   dbpriv,  dbpasswort,
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

const std::vector<Field>& UpdateFields() {
  static const std::vector<Field> fields = {dbplevel,   dbpriv,     dbblock, dbjail,   dbpasswort,
                                            dbchatname, dblanguage, dbemail, dbcommend};
  return fields;
}

std::vector<HistoryRecord> HistoryRecordsFor(const AccountTable& table,
                                             const std::vector<RowId>& rows,
                                             const AccountTable* server,
                                             const SaveHistory& history) {
  std::unordered_map<std::string_view, RowId> before;
  if (server) {
    std::unordered_set<std::string_view> wanted;
    for (RowId r : rows) wanted.insert(table.Text(r, dbaccount));
    for (RowId r : server->Order()) {
      const std::string_view name = server->Text(r, dbaccount);
      if (wanted.count(name)) before.emplace(name, r);  // the first so named, as Locate finds
    }
  }
  const std::string time = HistoryTimeNow();
  std::vector<HistoryRecord> records;
  for (RowId r : rows) {
    const std::string_view name = table.Text(r, dbaccount);
    const auto found = before.find(name);
    const RowId from = found == before.end() ? kNoRow : found->second;
    const bool restored = history.restored.count(std::string(name)) > 0;
    const char* action = restored                              ? kHistoryRestore
                         : table.Int(r, dbstatus) == StatusNew ? kHistoryNew
                                                               : kHistoryChange;
    for (Field f : UpdateFields()) {
      std::string now = table.DisplayText(r, f);
      std::string old = from == kNoRow ? std::string() : server->DisplayText(from, f);
      if (f == dbemail) {  // the server gets the bare address either way
        now = std::string(BareEmail(now));
        old = std::string(BareEmail(old));
      }
      if (now == old) continue;
      HistoryRecord rec;
      rec.time = time;
      rec.user = history.user;
      rec.shard = history.shard;
      rec.account = Cp1252ToUtf8(name);
      rec.action = action;
      rec.field = HistoryFieldName(FieldInfoOf(f).name);
      if (!IsPasswordField(rec.field)) {  // HistoryLine writes "changed" alone for these
        rec.oldValue = Cp1252ToUtf8(old);
        rec.newValue = Cp1252ToUtf8(now);
      }
      records.push_back(std::move(rec));
    }
  }
  return records;
}

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

namespace {

SaveResult WriteUpdates(AccountTable& table, const std::string& accountDir,
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

  std::string bytes = BuildUpdateFile(table, result.written);
  // What the server has not taken over yet stays: a second save while it is busy must not
  // drop the first one's sections. Rows written now replace their own old sections.
  std::string old;
  if (ReadAllBytes(updateFile, old)) {
    old.resize(std::min(old.find('\0'), old.size()));  // the text ends at a NUL
    std::vector<std::string> names;
    for (RowId r : result.written) names.emplace_back(table.Text(r, dbaccount));
    RemoveAccountSectionsFrom(old, names);
    const size_t firstSection = SectionsStart(old);
    if (firstSection < old.size()) {
      result.kept = CountSections(std::string_view(old).substr(firstSection));
      bytes.append(old, firstSection, std::string::npos);
    }
  } else if (errno != ENOENT) {
    // Unreadable: replacing it could drop what it holds.
    result.status = SaveResult::Status::WriteFailed;
    result.message = "Cannot read " + updateFile + ": " + std::strerror(errno);
    return result;
  }
  std::string error;
  const bool written = options.writeFile ? options.writeFile(updateFile, bytes, error)
                                         : WriteFileAtomically(updateFile, bytes, error);
  if (!written) {
    result.status = SaveResult::Status::WriteFailed;
    result.message = error;
    return result;
  }
  result.status = SaveResult::Status::Written;
  for (RowId r : result.written) table.SetWritten(r, true);
  if (!result.live) {
    result.waiting = static_cast<int>(result.written.size());
    return result;
  }

  std::string why;
  result.told = options.tellServer && options.tellServer(why);
  if (!result.told) {
    result.consoleMessage = why;
    result.waiting = static_cast<int>(result.written.size());
    return result;  // the rows stay pending: the server has not taken them over
  }
  // Typed is not taken over: the rows become stored once their sections left the file.
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    int overwritten = 0;
    result.takenOver += MarkTakenOver(table, updateFile, nullptr, &overwritten);
    result.overwritten += overwritten;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    if (result.takenOver + result.overwritten >= static_cast<int>(result.written.size()) ||
        elapsed >= options.takeOverWaitMs)
      break;
    const int step = static_cast<int>(std::min<long long>(50, options.takeOverWaitMs - elapsed));
    if (options.pause)
      options.pause(step);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(step));
  }
  result.waiting = static_cast<int>(result.written.size()) - result.takenOver;
  return result;
}

}  // namespace

SaveResult WriteAccountUpdates(AccountTable& table, const std::string& accountDir,
                               const SaveOptions& options) {
  if (!options.history) return WriteUpdates(table, accountDir, options);
  // The server's values before it is told: afterwards its file may hold the new ones.
  std::vector<RowId> pending;
  for (RowId r : table.Order()) {
    const auto status = table.Int(r, dbstatus);
    if (status == StatusChanged || status == StatusNew) pending.push_back(r);
  }
  AccountTable server;
  const std::string accountFile = JoinPath(accountDir, kAccountFileName);
  const bool read = !pending.empty() && ReadAccountFile(server, accountFile).ok();
  std::vector<HistoryRecord> records =
      HistoryRecordsFor(table, pending, read ? &server : nullptr, *options.history);

  SaveResult result = WriteUpdates(table, accountDir, options);
  if (!result.ok()) return result;
  if (!pending.empty() && !read)
    result.historyError = "Cannot read " + accountFile + " for the old values";
  std::unordered_set<std::string> taken;
  for (RowId r : result.written)
    if (table.Int(r, dbstatus) == StatusStored)
      taken.insert(Cp1252ToUtf8(table.Text(r, dbaccount)));
  for (HistoryRecord& rec : records) rec.takenOver = taken.count(rec.account) > 0;
  std::string error;
  if (AppendHistory(options.history->path, records, error))
    result.historyLines = static_cast<int>(records.size());
  else
    result.historyError = error;
  return result;
}

std::optional<std::vector<std::string>> UpdateFileSections(const std::string& updateFile) {
  std::string bytes;
  if (!ReadAllBytes(updateFile, bytes)) {
    if (errno == ENOENT) return std::vector<std::string>{};  // taken over and removed
    return std::nullopt;
  }
  std::vector<std::string> names;
  const size_t end = std::min(bytes.find('\0'), bytes.size());
  LineSplitter lines(std::string_view(bytes).substr(0, end));
  std::string_view line;
  while (lines.Next(line))
    if (!line.empty() && line[0] == '[' && !IsEofName(SectionName(line)))
      names.emplace_back(SectionName(line));
  return names;
}

namespace {

// Whether the server's accounts hold the row as its update section gave it: the server
// stores levels by number and flags without "$", ignores an empty language, and may keep an
// address in quotes.
bool ServerHolds(const AccountTable& server, RowId s, const AccountTable& table, RowId r) {
  for (Field f : {dbpasswort, dbchatname, dbcommend})
    if (server.Text(s, f) != table.Text(r, f)) return false;
  if (BareEmail(server.Text(s, dbemail)) != BareEmail(table.Text(r, dbemail))) return false;
  if (!EqualsIgnoringAsciiCase(server.Text(s, dbplevel), PLevelCodeToName(table.Text(r, dbplevel))))
    return false;
  if (!EqualsIgnoringAsciiCase(server.Text(s, dbpriv), table.Text(r, dbpriv))) return false;
  if (!table.Text(r, dblanguage).empty() && server.Text(s, dblanguage) != table.Text(r, dblanguage))
    return false;
  for (Field f : {dbblock, dbjail})
    if ((server.Int(s, f) == 1) != (table.Int(r, f) == 1)) return false;
  return true;
}

}  // namespace

int MarkTakenOver(AccountTable& table, const std::string& updateFile, int* hidden,
                  int* overwritten) {
  if (hidden) *hidden = 0;
  if (overwritten) *overwritten = 0;
  const auto sections = UpdateFileSections(updateFile);
  if (!sections) return 0;
  const std::unordered_set<std::string_view> inFile(sections->begin(), sections->end());
  std::vector<RowId> gone;
  for (RowId r : table.Order())
    if (table.IsWritten(r) && !inFile.count(table.Text(r, dbaccount))) gone.push_back(r);
  if (gone.empty()) return 0;
  // Gone from the file is not yet taken over: a server that read the file just before a
  // save replaced it empties the new file without having read it. Only the values in the
  // server's accounts count; the account file is written before the update file is emptied.
  const size_t slash = updateFile.find_last_of("/\\");
  const std::string accountFile =
      (slash == std::string::npos ? std::string() : updateFile.substr(0, slash + 1)) +
      kAccountFileName;
  AccountTable server;
  if (!ReadAccountFile(server, accountFile).ok()) return 0;  // judged at a later look
  std::unordered_map<std::string_view, RowId> byName;
  for (RowId s : server.Order()) byName[server.Text(s, dbaccount)] = s;  // the last one counts
  std::vector<RowId> taken;
  for (RowId r : gone) {
    const auto s = byName.find(table.Text(r, dbaccount));
    if (s != byName.end() && ServerHolds(server, s->second, table, r)) {
      taken.push_back(r);
    } else {
      // Lost on the way: pending as before, and written again by the next save.
      table.SetWritten(r, false);
      if (overwritten) ++*overwritten;
    }
  }
  if (taken.empty()) return 0;
  const RowId current = table.Current();
  int marked = 0;
  for (RowId r : taken) {
    table.SetCurrent(r);
    if (table.Current() != r) {  // hidden by a filter: judged at a later look
      if (hidden) ++*hidden;
      continue;
    }
    table.Edit();
    table.SetInt(dbstatus, StatusStored);
    table.Post();
    ++marked;
  }
  if (current != kNoRow) table.SetCurrent(current);
  return marked;
}

}  // namespace kov
