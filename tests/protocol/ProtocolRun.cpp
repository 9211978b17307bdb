#include "ProtocolRun.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <thread>

#include "StandInProcess.h"
#include "backup/Restore.h"
#include "backup/SaveBackup.h"
#include "console/ServerConsole.h"
#include "store/Files.h"
#include "store/LoadAccounts.h"
#include "store/PrivFlags.h"
#include "store/ReadAcc.h"
#include "store/RemoveSections.h"
#include "store/SaveAcct.h"

namespace kov::protocol {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Every field the update file carries.
const Field kChangedFields[] = {dbpasswort, dbemail, dbplevel, dbchatname, dblanguage,
                                dbcommend,  dbpriv,  dbblock,  dbjail};
const char* const kLanguages[] = {"ENU", "DEU", "FRA", "ESP"};
constexpr int kInitialAccounts = 6;
// Accounts no operation names: whatever happens, they must come out as they went in.
constexpr int kIdleAccounts = 2;

struct Values {
  std::string text[kFieldCount];
  int block = 0, jail = 0;
  bool operator==(const Values&) const = default;
};

Values ValuesOf(const AccountTable& table, RowId row) {
  Values v;
  for (Field f : kChangedFields)
    if (!FieldInfoOf(f).isInteger) v.text[f] = std::string(table.Text(row, f));
  v.block = table.IntOr0(row, dbblock);
  v.jail = table.IntOr0(row, dbjail);
  return v;
}

std::string Show(const Values& v) {
  std::string s;
  for (Field f : kChangedFields) {
    if (!s.empty()) s += ' ';
    s += FieldInfoOf(f).name + 2;  // without "db"
    s += '=';
    s += f == dbblock ? std::to_string(v.block) : f == dbjail ? std::to_string(v.jail) : v.text[f];
  }
  return s;
}

std::string InitialName(int i) {
  return i < kInitialAccounts ? "acc" + std::to_string(i)
                              : "idle" + std::to_string(i - kInitialAccounts);
}

// The server's own format: levels by number, flags without "$", comments in quotes.
std::string InitialAccountFile() {
  std::string out = "// VornexServer accounts\r\n";
  for (int i = 0; i < kInitialAccounts + kIdleAccounts; ++i) {
    const std::string n = std::to_string(i);
    out += "[" + InitialName(i) + "]\r\n";
    out += "PLEVEL=" + std::to_string(i % 8) + "\r\nPRIV=0000" + n + "\r\n";
    out += "BLOCK=" + std::to_string(i % 2) + "\r\nJAIL=" + std::to_string(i / 2 % 2) + "\r\n";
    out += "PASSWORD=start" + n + "\r\nCHATNAME=chat" + n + "\r\nLANG=ENU\r\n";
    out += "EMAIL=start" + n + "@example.org\r\nTAG.COMMENT=\"first " + n + "\"\r\n";
    out += "LASTIP=10.0.0." + n + "\r\n\r\n";
  }
  return out + "[EOF]\r\n";
}

std::optional<RowId> FindRow(const AccountTable& table, const std::string& name) {
  for (RowId r : table.Order())
    if (table.Text(r, dbaccount) == name) return r;
  return std::nullopt;
}

// Running as root, the program would read a file whatever its mode: the driver sets aside its
// own right to override file modes while the update file is to be unreadable. The server,
// started anew, keeps it and reads on.
class ModeOverride {
 public:
  bool SetAside() {
    if (::geteuid() != 0) return true;
    if (!Get()) return false;
    __user_cap_data_struct data[2] = {m_saved[0], m_saved[1]};
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    return m_setAside = Set(data);
  }
  void Restore() {
    if (m_setAside) Set(m_saved);
    m_setAside = false;
  }
  ~ModeOverride() { Restore(); }

 private:
  bool Get() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, m_saved) == 0;
  }
  static bool Set(__user_cap_data_struct* data) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
  }
  __user_cap_data_struct m_saved[2] = {};
  bool m_setAside = false;
};

bool Pending(const AccountTable& table, RowId r) {
  const int s = table.IntOr0(r, dbstatus);
  return s == StatusChanged || s == StatusNew;
}

class Runner {
 public:
  Runner(const Sequence& sequence, const std::string& serverExecutable, const std::string& dir)
      : m_sequence(sequence),
        m_dir(dir),
        m_accounts(dir + "/accounts"),
        m_updateFile(JoinPath(m_accounts, kUpdateFileName)),
        m_accountFile(JoinPath(m_accounts, kAccountFileName)),
        m_server(serverExecutable, dir) {}

  RunOutcome Run(const std::vector<bool>& keep);

 private:
  void Prepare();
  void Do(const Op& op);
  void Change(const Op& op);
  void Create(const Op& op);
  void Delete(const Op& op);
  void Save(bool live, int waitMs, bool final);
  void Watch();
  void LoadAgain(const char* why);
  void Restart();
  void Backup();
  void Restore(bool keepPending);
  void MakeUnreadable();
  void MakeReadable();
  bool StillUnreadable();
  void Settle();
  // Waits until the server has carried out every line sent so far.
  bool Drain(const char* what);
  void CheckFinal();
  // The rows that went from pending to stored must be in the server's account file as
  // the table holds them: the program said the server took them over.
  void CheckTakenOver(const std::vector<RowId>& pendingBefore, const char* by);
  bool ServerAccounts(AccountTable& into);
  std::vector<RowId> PendingWrittenRows() const;
  bool Send(const std::string& line);
  void Fail(std::string why) {
    if (m_outcome.passed) {
      m_outcome.passed = false;
      m_outcome.failure =
          (m_step >= 0 ? "at operation " + std::to_string(m_step) + ": " : "at the end: ") + why;
    }
  }

  const Sequence& m_sequence;
  std::string m_dir, m_accounts, m_updateFile, m_accountFile;
  StandInProcess m_server;
  std::unique_ptr<AccountTable> m_table;
  // The model: what the operator has in the table, what reached the files (the update file
  // or the server's accounts), and which accounts the operator deleted.
  std::map<std::string, Values> m_desired;
  std::map<std::string, Values> m_durable;
  // Per account every value saved since the server last confirmed one (nullopt: not in
  // the server's accounts then). A server that reads the update file just before a save
  // replaces it, and empties the new one, loses that save's sections: the program cannot
  // prevent that, only not call it taken over and write the rows again. A crash before that
  // finds one of these values in the files, never anything else.
  std::map<std::string, std::vector<std::optional<Values>>> m_history;
  std::set<std::string> m_deleted;
  std::set<std::string> m_touched;
  std::map<std::string, Values> m_initial;
  RunOutcome m_outcome;
  int m_step = 0;
  int m_markers = 0;
  ModeOverride m_modeOverride;
  bool m_unreadable = false;
  // A load stopped at the unreadable update file: the window holds every save until a load
  // completes.
  bool m_writesHeld = false;
  // The table as the last backup holds it.
  std::optional<std::map<std::string, Values>> m_backup;
  // KOV_PROTOCOL_TRACE: each save's rows and outcome on stderr, for a look at a failure.
  const bool m_trace = std::getenv("KOV_PROTOCOL_TRACE") != nullptr;
};

bool Runner::Send(const std::string& line) {
  return SendConsoleCommand(line, m_server.Executable()).Delivered();
}

void Runner::Prepare() {
  std::error_code ec;
  fs::remove_all(m_accounts, ec);
  fs::create_directories(m_accounts);
  std::string error;
  if (!WriteFileAtomically(m_accountFile, InitialAccountFile(), error) ||
      !WriteFileAtomically(m_updateFile, "", error))
    Fail("cannot prepare the folder: " + error);
  if (!m_server.Start(m_sequence.takeOverDelayMs, error)) Fail(error);
  m_table = std::make_unique<AccountTable>();
  const LoadResult load = LoadAccountFolder(*m_table, m_accounts);
  if (!load.complete()) Fail("the initial files do not load");
  for (RowId r : m_table->Order()) {
    const std::string name(m_table->Text(r, dbaccount));
    m_initial[name] = m_desired[name] = m_durable[name] = ValuesOf(*m_table, r);
    m_history[name] = {m_durable[name]};
  }
}

RunOutcome Runner::Run(const std::vector<bool>& keep) {
  Prepare();
  for (size_t i = 0; i < m_sequence.ops.size() && m_outcome.passed; ++i) {
    if (!keep.empty() && !keep[i]) continue;
    m_step = static_cast<int>(i);
    Do(m_sequence.ops[i]);
    ++m_outcome.stats.ops;
  }
  if (m_outcome.passed) {
    m_step = -1;
    Settle();
  }
  if (m_outcome.passed) CheckFinal();
  return m_outcome;
}

void Runner::Do(const Op& op) {
  using K = Op::Kind;
  switch (op.kind) {
    case K::Change:
      return Change(op);
    case K::Create:
      return Create(op);
    case K::Delete:
      return Delete(op);
    case K::Save:
      return Save(op.live, op.ms, false);
    case K::Reload:
      return LoadAgain("Reload");
    case K::Watch:
      return Watch();
    case K::Backup:
      return Backup();
    case K::Restore:
      return Restore(op.number == 1);
    default:
      break;
  }
  ++m_outcome.stats.faults;
  switch (op.kind) {
    case K::Busy:
      Send("BUSY " + std::to_string(op.ms));
      break;
    case K::Stop:
      m_server.Stop();
      break;
    case K::Continue:
      m_server.Continue();
      break;
    case K::Kill:
      m_server.Kill();
      break;
    case K::Restart:
      Restart();
      break;
    case K::WorldSave:
      Send("SAVE");
      break;
    case K::Crash:
      LoadAgain("crash");
      break;
    case K::Unreadable:
      MakeUnreadable();
      break;
    case K::Readable:
      MakeReadable();
      break;
    default:
      break;
  }
}

void Runner::Backup() {
  if (m_writesHeld) return;  // the window offers no backup of an incomplete table
  const BackupResult written = WriteBackup(*m_table, m_dir + "/kov.bak", "history");
  if (!written.ok) {
    Fail("Backup failed: " + written.error);
    return;
  }
  m_backup.emplace();
  for (RowId r : m_table->Order())
    (*m_backup)[std::string(m_table->Text(r, dbaccount))] = ValuesOf(*m_table, r);
}

void Runner::Restore(bool keepPending) {
  if (!m_backup || m_writesHeld) return;
  AccountTable backup;
  const BackupReadResult read = ReadBackup(m_dir + "/kov.bak", backup);
  if (!read.ok()) {
    Fail("the backup does not read: " + read.message);
    return;
  }
  if (static_cast<size_t>(read.rows) != m_backup->size()) {
    Fail("the backup holds " + std::to_string(read.rows) + " accounts, not " +
         std::to_string(m_backup->size()));
    return;
  }
  AccountTable server;
  if (!ServerAccounts(server)) return;
  AccountTable& t = *m_table;
  const RestoreDiff diff = DiffWithBackup(backup, t, &server);
  for (const RestoreItem& item : diff.items) {
    if (item.kind == RestoreItem::Kind::New) continue;
    const std::string name(backup.Text(item.backupRow, dbaccount));
    const auto was = m_backup->find(name);
    if (was == m_backup->end()) {
      Fail("the backup holds '" + name + "', which the table did not");
      return;
    }
    if (ValuesOf(backup, item.backupRow) != was->second) {
      Fail("the backup gives '" + name + "' other values than the table had:\n    table:  " +
           Show(was->second) + "\n    backup: " + Show(ValuesOf(backup, item.backupRow)));
      return;
    }
    Values want = was->second;
    if (item.kind == RestoreItem::Kind::Deleted) {
      // Only once the server's accounts lack it: a delete still on its way (a busy or
      // stopped server) would take the restored account away again, as the operator sees.
      if (FindRow(server, name)) continue;
      m_outcome.stats.restoredFields +=
          ApplyRestore(t, backup, item, {}, PendingChoice::TakeBackup);
      m_deleted.erase(name);
      m_history[name].push_back(std::nullopt);
    } else {
      // Deleted, yet back in the table from the server's accounts: the delete is not carried
      // out yet, or was lost with a killed server. Whether it still happens is not settled,
      // so the history leaves it alone, as it leaves a deleted account until the server's
      // accounts lack it.
      if (m_deleted.count(name)) continue;
      const Values before = ValuesOf(t, item.currentRow);
      const PendingChoice choice =
          keepPending ? PendingChoice::KeepPending : PendingChoice::TakeBackup;
      m_outcome.stats.restoredFields += ApplyRestore(t, backup, item, {}, choice);
      // No update file line clears a language: an empty one in the backup is not restored.
      if (want.text[dblanguage].empty()) want.text[dblanguage] = before.text[dblanguage];
      for (Field f : item.fields) {
        if (!(keepPending && item.IsPending(f))) continue;
        if (f == dbblock)
          want.block = before.block;
        else if (f == dbjail)
          want.jail = before.jail;
        else
          want.text[f] = before.text[f];
      }
    }
    const auto row = FindRow(t, name);
    if (!row || ValuesOf(t, *row) != want) {
      Fail("the restore of '" + name + "' left other values than the backup's:\n    backup: " +
           Show(want) + "\n    table:  " + (row ? Show(ValuesOf(t, *row)) : "(no row)"));
      return;
    }
    if (!Pending(t, *row) && want != m_desired[name]) {
      Fail("the restore changed '" + name + "' without making it pending");
      return;
    }
    m_desired[name] = want;
    m_touched.insert(name);
  }
}

void Runner::MakeUnreadable() {
  if (m_unreadable) return;
  if (!m_modeOverride.SetAside()) {
    Fail("cannot take reading the update file away");
    return;
  }
  m_unreadable = true;
  // A take-over running now may replace the file with one of the old mode: make that one
  // unreadable too.
  std::string bytes;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (::chmod(m_updateFile.c_str(), 0200) != 0 && errno != ENOENT) {
      Fail("cannot take reading the update file away");
      return;
    }
    if (!ReadAllBytes(m_updateFile, bytes)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  Fail("the update file is still readable");
}

void Runner::MakeReadable() {
  if (m_unreadable) {
    m_modeOverride.Restore();
    // The server keeps the mode when it empties the file: whichever file is there now.
    ::chmod(m_updateFile.c_str(), 0644);
    m_unreadable = false;
  }
  if (m_writesHeld) LoadAgain("the reload once the update file reads again");
}

bool Runner::StillUnreadable() {
  if (!m_unreadable) return false;
  // A take-over that began before the file was made unreadable replaces it with a file of the
  // old mode: the fault has ended by itself.
  struct stat st {};
  if (::stat(m_updateFile.c_str(), &st) != 0 || (st.st_mode & S_IRUSR) == 0) return true;
  m_modeOverride.Restore();
  m_unreadable = false;
  return false;
}

void Runner::Change(const Op& op) {
  const std::string& name = op.names[0];
  if (!m_desired.count(name)) return;
  const auto row = FindRow(*m_table, name);
  if (!row) return;  // an account whose delete the killed server never carried out
  AccountTable& t = *m_table;
  t.SetCurrent(*row);
  t.Edit();
  if (op.field == dbblock || op.field == dbjail)
    t.SetInt(op.field, op.number);
  else
    t.SetText(op.field, op.text);
  if (t.IntOr0(*row, dbstatus) == StatusStored) t.SetInt(dbstatus, StatusChanged);
  t.Post();
  Values& v = m_desired[name];
  if (op.field == dbblock)
    v.block = op.number;
  else if (op.field == dbjail)
    v.jail = op.number;
  else
    v.text[op.field] = op.text;
  m_touched.insert(name);
}

void Runner::Create(const Op& op) {
  const std::string& name = op.names[0];
  if (m_desired.count(name) || m_deleted.count(name) || FindRow(*m_table, name)) return;
  AccountTable& t = *m_table;
  t.Append();
  t.SetText(dbaccount, name);
  t.SetText(dbpasswort, op.text);
  t.SetText(dbplevel, "Player");
  t.SetText(dbpriv, "$0");
  t.SetInt(dbblock, 0);
  t.SetInt(dbjail, 0);
  t.SetInt(dbstatus, StatusNew);
  t.Post();
  m_desired[name] = ValuesOf(t, *FindRow(t, name));
  m_history[name] = {std::nullopt};
  m_touched.insert(name);
}

void Runner::Delete(const Op& op) {
  // The histories delete nothing while the file is unreadable: the window then keeps the
  // deleted accounts' sections, does not send "A" and warns that they would bring them back.
  if (m_unreadable) return;
  // As the window: refused while no server runs; per account "ACCOUNT name DELETE" and the
  // row removed once delivered; the deleted accounts' pending sections taken out; then "A".
  if (!IsServerRunning(m_server.Executable())) return;
  AccountTable& t = *m_table;
  std::vector<std::string> deleted;
  for (const std::string& name : op.names) {
    const auto row = FindRow(t, name);
    if (!row || !m_desired.count(name)) continue;
    if (!Send("ACCOUNT " + name + " DELETE")) continue;
    t.SetCurrent(*row);
    t.Delete();
    deleted.push_back(name);
    m_desired.erase(name);
    m_durable.erase(name);
    m_history.erase(name);
    m_deleted.insert(name);
    m_touched.insert(name);
  }
  if (!deleted.empty()) {
    const RemoveSectionsResult removed = RemoveAccountSections(m_updateFile, deleted);
    if (!removed.ok) {
      Fail("Delete could not take the sections out: " + removed.error);
      return;
    }
  }
  Send("A");
}

std::vector<RowId> Runner::PendingWrittenRows() const {
  std::vector<RowId> rows;
  for (RowId r : m_table->Order())
    if (Pending(*m_table, r)) rows.push_back(r);
  return rows;
}

bool Runner::ServerAccounts(AccountTable& into) {
  if (!ReadAccountFile(into, m_accountFile).ok()) {
    Fail("the server's account file does not read");
    return false;
  }
  return true;
}

void Runner::CheckTakenOver(const std::vector<RowId>& pendingBefore, const char* by) {
  AccountTable& t = *m_table;
  std::vector<RowId> stored;
  for (RowId r : pendingBefore)
    if (!Pending(t, r)) stored.push_back(r);
  if (stored.empty()) return;
  m_outcome.stats.takenOver += static_cast<int>(stored.size());
  AccountTable server;
  if (!ServerAccounts(server)) return;
  for (RowId r : stored) {
    const std::string name(t.Text(r, dbaccount));
    const auto there = FindRow(server, name);
    if (!there) {
      Fail(std::string(by) + " reported '" + name +
           "' as taken over, but the server's accounts lack it");
      return;
    }
    if (ValuesOf(server, *there) != ValuesOf(t, r)) {
      Fail(std::string(by) + " reported '" + name +
           "' as taken over, but the server holds other values:\n    table:  " +
           Show(ValuesOf(t, r)) + "\n    server: " + Show(ValuesOf(server, *there)));
      return;
    }
    m_history[name] = {ValuesOf(t, r)};
  }
}

void Runner::Save(bool live, int waitMs, bool final) {
  if (m_writesHeld) return;  // the window offers no Save after an incomplete load
  AccountTable& t = *m_table;
  const auto pendingBefore = PendingWrittenRows();
  SaveOptions options;
  options.live = live && IsServerRunning(m_server.Executable());
  bool told = false;
  options.tellServer = [&](std::string& why) {
    const ConsoleResult r = SendConsoleCommand("A", m_server.Executable());
    if (!r.Delivered()) why = r.NoticeText();
    return told = r.Delivered();
  };
  options.takeOverWaitMs = waitMs;
  const bool unreadable = StillUnreadable();
  bool replacedUnreadable = false;
  if (unreadable)
    options.writeFile = [&](const std::string& path, const std::string& bytes, std::string& error) {
      struct stat st {};
      replacedUnreadable = ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IRUSR) == 0;
      return WriteFileAtomically(path, bytes, error);
    };
  const SaveResult result = WriteAccountUpdates(t, m_accounts, options);
  if (m_trace) {
    std::string names;
    for (RowId r : result.written) names += " " + std::string(t.Text(r, dbaccount));
    std::fprintf(
        stderr, "  save (live %d, told %d) wrote%s: %d taken over, %d emptied unread, %d waiting\n",
        options.live, told, names.c_str(), result.takenOver, result.overwritten, result.waiting);
  }
  if (replacedUnreadable) {
    Fail("Save replaced the update file it could not read");
    return;
  }
  // Succeeded: a take-over that began before the file was made unreadable gave it back its
  // old mode just before the save read it.
  if (unreadable && !(result.ok() && !StillUnreadable())) {
    // Replacing a file it cannot read could drop what the file holds: refused, rows kept.
    if (result.status != SaveResult::Status::WriteFailed || result.message.empty()) {
      Fail("Save did not refuse the unreadable update file with a reason");
      return;
    }
    for (RowId r : pendingBefore)
      if (!Pending(t, r)) {
        Fail("a Save refused for the unreadable update file stored '" +
             std::string(t.Text(r, dbaccount)) + "'");
        return;
      }
    ++m_outcome.stats.refusedUnreadable;
    return;
  }
  if (!result.ok()) {
    Fail("Save failed: " + result.message + " " + result.path);
    return;
  }
  for (RowId r : result.written) {
    const std::string name(t.Text(r, dbaccount));
    const auto want = m_desired.find(name);
    if (want == m_desired.end()) {
      Fail("Save wrote '" + name + "', which the operator deleted or never had");
      return;
    }
    if (want->second != ValuesOf(t, r)) {
      Fail("Save wrote '" + name + "' with values the operator did not give:\n    asked:   " +
           Show(want->second) + "\n    written: " + Show(ValuesOf(t, r)));
      return;
    }
    m_durable[name] = want->second;
    m_history[name].push_back(want->second);
  }
  if (final && !told) Fail("the final live Save did not reach the server");
  CheckTakenOver(pendingBefore, "Save");
}

void Runner::Watch() {
  const auto pendingBefore = PendingWrittenRows();
  MarkTakenOver(*m_table, m_updateFile);
  CheckTakenOver(pendingBefore, "the folder watch");
}

void Runner::LoadAgain(const char* why) {
  m_table = std::make_unique<AccountTable>();
  const bool unreadable = StillUnreadable();
  const LoadResult load = LoadAccountFolder(*m_table, m_accounts);
  if (unreadable && !(load.complete() && !StillUnreadable())) {
    // The window shows what it read, says the load is incomplete and holds every save; the
    // model stands until the load that completes.
    if (load.complete() || load.update.ok() || load.update.message.empty()) {
      Fail(std::string(why) + ": the load did not report the unreadable update file");
      return;
    }
    m_writesHeld = true;
    ++m_outcome.stats.refusedUnreadable;
    return;
  }
  m_writesHeld = false;
  if (!load.complete()) {
    Fail(std::string(why) + ": the files do not load");
    return;
  }
  // What was never saved is gone with the old table; what was saved must be back: the
  // latest value, or one saved since the server last confirmed one.
  std::set<std::string> seen;
  std::map<std::string, Values> loaded;
  for (RowId r : m_table->Order()) {
    const std::string name(m_table->Text(r, dbaccount));
    seen.insert(name);
    const auto history = m_history.find(name);
    if (history == m_history.end()) {
      // A delete the server has read but not yet carried out (it is busy).
      if (m_deleted.count(name) && !Pending(*m_table, r)) continue;
      Fail(std::string(why) + ": '" + name +
           (m_deleted.count(name) ? "' is back after the operator deleted it"
                                  : "' appears, which the operator never saved"));
      return;
    }
    const Values values = ValuesOf(*m_table, r);
    bool known = false;
    for (const auto& h : history->second) known = known || (h && *h == values);
    if (!known) {
      const auto want = m_durable.find(name);
      Fail(std::string(why) + ": '" + name + "' loads with values never saved:\n    saved:  " +
           (want == m_durable.end() ? std::string("(not saved)") : Show(want->second)) +
           "\n    loaded: " + Show(values));
      return;
    }
    loaded[name] = values;
  }
  for (const auto& [name, history] : m_history) {
    if (seen.count(name)) continue;
    bool mayLack = false;
    for (const auto& h : history) mayLack = mayLack || !h;
    if (!mayLack) {
      Fail(std::string(why) + ": the saved account '" + name + "' is gone from the files");
      return;
    }
  }
  for (const auto& [name, values] : m_durable)
    if (!loaded.count(name) || loaded[name] != values) ++m_outcome.stats.lostToRacingTakeOver;
  m_desired = m_durable = loaded;
  // What a take-over does next is not settled by what the files held at this load: one that
  // read the update file before the last save may still empty it unread, or apply an older
  // section. The values saved since the server last confirmed one stay possible.
  for (auto& [name, history] : m_history)
    if (loaded.count(name)) history.push_back(loaded[name]);
  for (const auto& [name, values] : loaded)
    if (!m_history.count(name)) m_history[name] = {values};
}

void Runner::Restart() {
  if (m_server.Running()) return;
  std::string error;
  if (!m_server.Start(m_sequence.takeOverDelayMs, error)) {
    Fail(error);
    return;
  }
  // A killed server forgets the console lines it had read but not carried out: a delete
  // among them never happens, and the account stays as the server has it.
  AccountTable server;
  if (!ServerAccounts(server)) return;
  for (auto it = m_deleted.begin(); it != m_deleted.end();) {
    const auto row = FindRow(server, *it);
    if (!row) {
      ++it;
      continue;
    }
    ++m_outcome.stats.deletesLostWithServer;
    m_desired[*it] = m_durable[*it] = ValuesOf(server, *row);
    m_history[*it] = {m_durable[*it]};
    it = m_deleted.erase(it);
  }
}

bool Runner::Drain(const char* what) {
  // The server carries lines out in order and names the ones it does not know: once it
  // answered this one, everything sent before it is done.
  const std::string marker =
      "SYNC " + std::to_string(m_sequence.seed) + "." + std::to_string(++m_markers);
  if (!Send(marker)) {
    Fail(std::string(what) + ": the server does not read its console");
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (!m_server.Said("Unknown command: " + marker + "\n")) {
    if (Clock::now() > deadline) {
      Fail(std::string(what) + ": the server did not answer within 20 s");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void Runner::Settle() {
  MakeReadable();
  if (!m_outcome.passed) return;
  m_server.Continue();
  Restart();
  if (!m_outcome.passed) return;
  // As an operator does while the program says rows are waiting: save again, once the server
  // is idle. Saves back to back against a server still holding an earlier "A" lose every
  // round to it: that take-over reads the file just before the save replaces it and empties
  // it afterwards, and the save's own "A" then finds it empty. The program keeps those rows
  // pending (checked on each save); an operator's next click comes long after.
  for (int round = 0; round < 5 && m_outcome.passed; ++round) {
    if (!Drain("before the final saves")) return;
    Save(true, 5000, true);
    bool pending = false;
    for (RowId r : m_table->Order()) pending = pending || Pending(*m_table, r);
    if (!pending) break;
  }
  if (!m_outcome.passed) return;
  if (!Send("SAVE")) {
    Fail("the final world save did not reach the server");
    return;
  }
  if (!Drain("the final world save")) return;
  const auto sections = UpdateFileSections(m_updateFile);
  if (!sections || !sections->empty()) Fail("the update file was not taken over at the end");
}

void Runner::CheckFinal() {
  AccountTable t;
  if (!LoadAccountFolder(t, m_accounts).complete()) {
    Fail("the final files do not load");
    return;
  }
  std::set<std::string> seen;
  for (RowId r : t.Order()) {
    const std::string name(t.Text(r, dbaccount));
    seen.insert(name);
    const auto want = m_desired.find(name);
    if (want == m_desired.end()) {
      Fail(m_deleted.count(name) ? "the deleted account '" + name + "' came back"
                                 : "'" + name + "' appeared, which the operator never created");
      return;
    }
    if (want->second != ValuesOf(t, r)) {
      const bool untouched = !m_touched.count(name);
      Fail(std::string(untouched ? "the untouched account '" : "lost or doubled update: '") + name +
           "' ends with other values than asked:\n    asked:  " + Show(want->second) +
           "\n    server: " + Show(ValuesOf(t, r)));
      return;
    }
  }
  for (const auto& [name, values] : m_desired) {
    if (!seen.count(name)) {
      Fail("the account '" + name + "' is gone, which the operator never deleted");
      return;
    }
  }
}

}  // namespace

std::string Describe(const Op& op) {
  using K = Op::Kind;
  auto names = [&] {
    std::string s;
    for (const auto& n : op.names) s += (s.empty() ? "" : ",") + n;
    return s;
  };
  switch (op.kind) {
    case K::Change:
      return "change " + names() + " " + (FieldInfoOf(op.field).name + 2) + "=" +
             (op.field == dbblock || op.field == dbjail ? std::to_string(op.number) : op.text);
    case K::Create:
      return "create " + names();
    case K::Delete:
      return "delete " + names();
    case K::Save:
      return std::string(op.live ? "save live, wait " + std::to_string(op.ms) + " ms"
                                 : "save not live");
    case K::Reload:
      return "reload";
    case K::Watch:
      return "folder watch looks";
    case K::Busy:
      return "server BUSY " + std::to_string(op.ms);
    case K::Stop:
      return "server SIGSTOP";
    case K::Continue:
      return "server SIGCONT";
    case K::Kill:
      return "server SIGKILL";
    case K::Restart:
      return "server restarted";
    case K::WorldSave:
      return "server SAVE";
    case K::Crash:
      return "program crashes and loads again";
    case K::Unreadable:
      return "update file unreadable";
    case K::Readable:
      return "update file readable again";
    case K::Backup:
      return "backup";
    case K::Restore:
      return op.number ? "restore the backup, keeping pending changes" : "restore the backup";
  }
  return "?";
}

Sequence Generate(std::uint64_t seed) {
  Sequence s;
  s.seed = seed;
  std::mt19937_64 rng(seed);
  auto below = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  s.takeOverDelayMs = below(6);
  std::vector<std::string> names;
  for (int i = 0; i < kInitialAccounts; ++i) names.push_back(InitialName(i));
  int created = 0;
  bool stopped = false, killed = false, unreadable = false;
  const int length = 12 + below(30);
  struct Weight {
    Op::Kind kind;
    int weight;
  };
  const Weight weights[] = {
      {Op::Kind::Change, 30}, {Op::Kind::Create, 5},     {Op::Kind::Delete, 5},
      {Op::Kind::Save, 16},   {Op::Kind::Reload, 2},     {Op::Kind::Watch, 5},
      {Op::Kind::Busy, 6},    {Op::Kind::Stop, 3},       {Op::Kind::Continue, 3},
      {Op::Kind::Kill, 2},    {Op::Kind::Restart, 3},    {Op::Kind::WorldSave, 5},
      {Op::Kind::Crash, 4},   {Op::Kind::Unreadable, 2}, {Op::Kind::Readable, 3},
      {Op::Kind::Backup, 2},  {Op::Kind::Restore, 3},
  };
  int total = 0;
  for (const Weight& w : weights) total += w.weight;
  while (static_cast<int>(s.ops.size()) < length) {
    int pick = below(total);
    Op op;
    for (const Weight& w : weights) {
      if (pick < w.weight) {
        op.kind = w.kind;
        break;
      }
      pick -= w.weight;
    }
    const std::string token = "s" + std::to_string(s.ops.size());
    switch (op.kind) {
      case Op::Kind::Change: {
        if (names.empty()) continue;
        op.names = {names[static_cast<size_t>(below(static_cast<int>(names.size())))]};
        op.field = kChangedFields[below(std::size(kChangedFields))];
        switch (op.field) {
          case dbpasswort:
            op.text = "pw" + token;
            break;
          case dbemail:
            op.text = token + "@example.org";
            break;
          case dbplevel:
            op.text = kPLevelNames[below(8)];
            break;
          case dblanguage:
            op.text = kLanguages[below(4)];
            break;
          case dbcommend:
            op.text = below(5) ? "note " + token : "";
            break;
          case dbpriv:
            op.text = FormatPrivFlags(static_cast<std::uint32_t>(rng() & 0xFFFFF));
            break;
          case dbblock:
          case dbjail:
            op.number = below(2);
            break;
          default:
            op.text = "chat" + token;
            break;
        }
        break;
      }
      case Op::Kind::Create:
        op.names = {"new" + std::to_string(++created)};
        op.text = "pw" + token;
        names.push_back(op.names[0]);
        break;
      case Op::Kind::Delete: {
        if (names.empty() || unreadable) continue;
        const int n = 1 + below(2);
        for (int i = 0; i < n && !names.empty(); ++i) {
          const size_t at = static_cast<size_t>(below(static_cast<int>(names.size())));
          op.names.push_back(names[at]);
          names.erase(names.begin() + static_cast<long>(at));
        }
        break;
      }
      case Op::Kind::Save:
        op.live = below(10) < 7;
        op.ms = below(3) ? below(40) : 0;
        break;
      case Op::Kind::Busy:
        op.ms = 1 + below(60);
        break;
      case Op::Kind::Stop:
        if (stopped || killed) continue;
        stopped = true;
        break;
      case Op::Kind::Continue:
        if (!stopped) continue;
        stopped = false;
        break;
      case Op::Kind::Kill:
        if (killed) continue;
        killed = true;
        stopped = false;
        break;
      case Op::Kind::Restart:
        if (!killed) continue;
        killed = false;
        break;
      case Op::Kind::Restore:
        op.number = below(2);
        break;
      case Op::Kind::Unreadable:
        if (unreadable) continue;
        unreadable = true;
        break;
      case Op::Kind::Readable:
        if (!unreadable) continue;
        unreadable = false;
        break;
      default:
        break;
    }
    s.ops.push_back(std::move(op));
  }
  return s;
}

RunOutcome RunSequence(const Sequence& sequence, const std::string& serverExecutable,
                       const std::string& workDir, const std::vector<bool>& keep) {
  RunOutcome outcome;
  {
    Runner runner(sequence, serverExecutable, workDir);
    outcome = runner.Run(keep);
  }
  std::error_code ec;
  // For a look at a failure: the folder as the history left it (files, console log, output).
  if (const char* keepDir = std::getenv("KOV_PROTOCOL_KEEP_FAILED"); keepDir && !outcome.passed) {
    for (const auto& entry : fs::recursive_directory_iterator(workDir, ec)) {
      if (!entry.is_regular_file(ec)) continue;  // not the console pipe
      const fs::path to = fs::path(keepDir) / fs::relative(entry.path(), workDir, ec);
      fs::create_directories(to.parent_path(), ec);
      fs::copy_file(entry.path(), to, fs::copy_options::overwrite_existing, ec);
    }
    std::string error;
    fs::create_directories(keepDir, ec);
    WriteFileAtomically((fs::path(keepDir) / "failure.txt").string(),
                        "seed " + std::to_string(sequence.seed) + ": " + outcome.failure + "\n",
                        error);
  }
  for (const auto& entry : fs::directory_iterator(workDir, ec)) fs::remove_all(entry.path(), ec);
  return outcome;
}

}  // namespace kov::protocol
