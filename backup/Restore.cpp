#include "backup/Restore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "backup/Huffman.h"
#include "store/Files.h"
#include "store/MemoryAdvice.h"
#include "store/NameHash.h"
#include "store/ScriptSyntax.h"

namespace kov {

namespace {

constexpr std::string_view kDumpFirstLine = "//Created with Vornex Script Manager";
constexpr std::string_view kDumpDateLine = "//Backup from ";
constexpr int kLinesPerRow = kFieldCount + 1;  // the name, the other fields, an empty line

// Splits at CR LF only, as the dump is written; returns false past the end.
class DumpLines {
 public:
  explicit DumpLines(std::string_view text) : m_text(text) {}
  bool Next(std::string_view& line) {
    if (m_pos >= m_text.size()) return false;
    std::size_t end = m_pos;
    for (;;) {  // memchr is several times faster than a two-byte find
      const void* cr = std::memchr(m_text.data() + end, '\r', m_text.size() - end);
      end = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - m_text.data())
               : std::string_view::npos;
      if (end == std::string_view::npos || (end + 1 < m_text.size() && m_text[end + 1] == '\n'))
        break;
      ++end;
    }
    if (end == std::string_view::npos) {
      line = m_text.substr(m_pos);
      m_pos = m_text.size();
      m_unterminated = true;
    } else {
      line = m_text.substr(m_pos, end - m_pos);
      m_pos = end + 2;
    }
    ++m_number;
    return true;
  }
  int Number() const { return m_number; }
  bool Unterminated() const { return m_unterminated; }

 private:
  std::string_view m_text;
  std::size_t m_pos = 0;
  int m_number = 0;
  bool m_unterminated = false;
};

BackupReadResult Damaged(int line, const char* what) {
  BackupReadResult r;
  r.status = BackupReadResult::Status::NotBackup;
  r.message = "the backup is damaged: line " + std::to_string(line) + " " + what;
  return r;
}

// Walks the dump checking every line; with a loader, each row is loaded as it is checked.
BackupReadResult WalkDump(std::string_view text, AccountTable::Loader* loader) {
  BackupReadResult result;
  DumpLines lines(text);
  std::string_view line;
  if (!lines.Next(line) || line != kDumpFirstLine) {
    result.status = BackupReadResult::Status::NotBackup;
    result.message = "it is not a backup of this program";
    return result;
  }
  if (!lines.Next(line) || line.substr(0, kDumpDateLine.size()) != kDumpDateLine)
    return Damaged(2, "should hold the backup's date");
  result.date = std::string(line.substr(kDumpDateLine.size()));
  const char* header[] = {"", "VERSION=1", ""};
  for (const char* expected : header)
    if (!lines.Next(line) || line != expected)
      return Damaged(lines.Number(), "should be the header's");
  int rows = 0;
  while (lines.Next(line)) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']')
      return Damaged(lines.Number(), "should name an account in brackets");
    if (loader) loader->BeginRow(SectionName(line), StatusStored);
    for (int f = dbaccount + 1; f < kFieldCount; ++f) {
      if (!lines.Next(line))
        return Damaged(lines.Number() + 1, "is missing: the account ends early");
      const auto field = static_cast<Field>(f);
      if (FieldInfoOf(field).isInteger) {
        const auto value = ParseInteger(line);
        if (!value) return Damaged(lines.Number(), "should be a number");
        if (loader) loader->SetInt(field, *value);
      } else if (loader) {
        loader->SetText(field, line);
      }
    }
    if (!lines.Next(line) || !line.empty() || lines.Unterminated())
      return Damaged(lines.Number() + 1, "should end the account with an empty line");
    ++rows;
  }
  result.status = BackupReadResult::Status::Ok;
  result.rows = rows;
  return result;
}

// A damaged backup changes nothing. A table holding rows is left alone because the dump is
// checked whole before it is loaded; an empty one (the restore view reads into a table of its
// own) is loaded in the same walk that checks, which saves a second pass over 30 MB, and is
// emptied again when the check fails. The table adopts the buffer.
BackupReadResult ParseDump(std::unique_ptr<char[]>& buffer, std::size_t size, AccountTable& table) {
  const std::string_view text(buffer.get(), size);
  // An account takes about 300 bytes of the dump; more rows than needed cost address space.
  std::size_t rows = size / 96 + 16;
  if (table.RowCount() > 0) {
    const BackupReadResult checked = WalkDump(text, nullptr);
    if (!checked.ok()) return checked;
    rows = static_cast<std::size_t>(checked.rows);
  }
  table.Empty();
  table.ReserveRows(rows);
  table.BeginUpdate();
  char* const adopted = buffer.get();
  table.AdoptBuffer(std::move(buffer), size);
  BackupReadResult result;
  {
    AccountTable::Loader loader(table);
    result = WalkDump(text, &loader);
    loader.Finish();
  }
  table.EndUpdate();
  if (!result.ok()) {
    // Wiped before the table lets it go: the dump holds every password.
    volatile char* p = adopted;
    for (std::size_t i = 0; i < size; ++i) p[i] = 0;
    table.Empty();
  }
  return result;
}

// The rows of a table by exact account name, the first row of a name kept: open addressing
// over the names' hashes. Comparing 100,000 names this way costs no allocation per name and
// mostly one memory access per lookup, where node-based maps spent most of the comparison
// on cache misses.
class NameIndex {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  // For at most `positions` rows, named by their position in the table's order.
  NameIndex(const AccountTable& table, std::size_t positions) : m_table(table) {
    std::size_t size = 16;
    while (size < positions * 2) size <<= 1;
    m_slots.resize(size);
    m_mask = size - 1;
  }

  // The position already held under `name`, else `position`, which is then held.
  std::uint32_t Add(std::string_view name, std::uint32_t position) {
    const std::uint32_t hash = detail::NameHash(name);
    for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
      Slot& s = m_slots[i];
      if (s.position == kNone) {
        s = {hash, position};
        return position;
      }
      if (s.hash == hash && NameAt(s.position) == name) return s.position;
    }
  }

  std::uint32_t Find(std::string_view name) const {
    const std::uint32_t hash = detail::NameHash(name);
    for (std::size_t i = hash & m_mask;; i = (i + 1) & m_mask) {
      const Slot& s = m_slots[i];
      if (s.position == kNone) return kNone;
      if (s.hash == hash && NameAt(s.position) == name) return s.position;
    }
  }

 private:
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t position = kNone;
  };
  std::string_view NameAt(std::uint32_t position) const {
    return m_table.Text(m_table.Order()[position], dbaccount);
  }

  const AccountTable& m_table;
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
};

void SetFrom(AccountTable& table, const AccountTable& backup, RowId from, Field f) {
  if (FieldInfoOf(f).isInteger) {
    if (const auto v = backup.Int(from, f))
      table.SetInt(f, *v);
    else
      table.SetNull(f);
  } else {
    table.SetText(f, backup.Text(from, f));
  }
}

}  // namespace

BackupReadResult ReadBackupBytes(std::string_view stream, AccountTable& table) {
  BackupReadResult result;
  if (stream.empty()) {
    result.status = BackupReadResult::Status::Empty;
    result.message = "the file is empty";
    return result;
  }
  if (stream.size() < kHuffmanHeaderSize) {
    result.status = BackupReadResult::Status::NotBackup;
    result.message = "the file is too short to be a backup of this program";
    return result;
  }
  // The header's symbol count is the sum of its byte counts; anything else is not our format.
  std::int64_t symbols = 0;
  for (int i = 7; i >= 0; --i)
    symbols = symbols << 8 | static_cast<unsigned char>(stream[static_cast<std::size_t>(i)]);
  std::int64_t sum = 0;
  for (int s = 0; s < 256; ++s) {
    std::uint32_t c = 0;
    for (int k = 3; k >= 0; --k)
      c = c << 8 | static_cast<unsigned char>(stream[8 + 4 * static_cast<std::size_t>(s) + k]);
    if (c > 0x7FFFFFFFu) sum = -1;
    if (sum >= 0) sum += c;
  }
  // Every symbol takes at least one bit: a count beyond that is no backup of ours (and would
  // ask for memory the stream cannot fill).
  const auto codeBits = static_cast<std::int64_t>(stream.size() - kHuffmanHeaderSize) * 8;
  if (symbols > 0 && sum == symbols && symbols <= 0x7FFFFFFF && symbols > codeBits) {
    result.status = BackupReadResult::Status::Truncated;
    result.bytesExpected = symbols;
    result.message = "the file is cut short: it holds too few codes for its " +
                     std::to_string(symbols) + " bytes";
    return result;
  }
  if (symbols <= 0 || sum != symbols || symbols > 0x7FFFFFFF) {
    result.status = BackupReadResult::Status::NotBackup;
    result.message = "it is not a backup of this program";
    return result;
  }
  // The dump is decoded straight into the buffer the table adopts, sized from the header: no
  // regrowing, no copy of 30 MB of passwords. Not zeroed first: no byte is read before it is
  // decoded.
  const auto size = static_cast<std::size_t>(symbols);
  std::unique_ptr<char[]> buffer(new char[size + 1]);
  AdviseHugePages(buffer.get(), size + 1);
  buffer[size] = '\0';
  MemoryInput input(stream);
  THuffmanDecoder decoder;
  decoder.SetInput(&input);
  decoder.SetOutputBuffer(reinterpret_cast<std::uint8_t*>(buffer.get()), size);
  const HuffmanStatus status = decoder.Decode();
  const auto wipe = [&] {
    volatile char* p = buffer.get();
    for (std::int64_t i = 0; i < decoder.SymbolsWritten(); ++i) p[i] = 0;
  };
  if (status != HuffmanStatus::Ok) {
    wipe();
    result.status = BackupReadResult::Status::ReadError;
    result.message = HuffmanStatusText(status);
    return result;
  }
  if (!decoder.Complete()) {
    wipe();
    result.status = BackupReadResult::Status::Truncated;
    result.bytesRecovered = decoder.SymbolsWritten();
    result.bytesExpected = decoder.SymbolCount();
    result.message = "the file is cut short: " + std::to_string(result.bytesRecovered) + " of " +
                     std::to_string(result.bytesExpected) + " bytes could be decoded";
    return result;
  }
  result = ParseDump(buffer, size, table);
  if (buffer) wipe();  // not adopted: the backup was refused
  return result;
}

BackupReadResult ReadBackup(const std::string& path, AccountTable& table) {
  BackupReadResult result;
  std::string stream;
  if (!ReadAllBytes(path, stream)) {
    result.status =
        errno == ENOENT ? BackupReadResult::Status::Missing : BackupReadResult::Status::ReadError;
    result.message = errno == ENOENT ? "file not found" : std::strerror(errno);
    return result;
  }
  return ReadBackupBytes(stream, table);
}

const std::vector<Field>& RestorableFields() {
  static const std::vector<Field> fields = {dbplevel,   dbpriv,     dbblock, dbjail,   dbpasswort,
                                            dbchatname, dblanguage, dbemail, dbcommend};
  return fields;
}

bool RestoreItem::IsPending(Field f) const {
  return std::find(pending.begin(), pending.end(), f) != pending.end();
}

RestoreDiff DiffWithBackup(const AccountTable& backup, const AccountTable& current,
                           const AccountTable* server) {
  RestoreDiff diff;
  const std::vector<RowId>& currentOrder = current.Order();
  const std::vector<RowId>& backupOrder = backup.Order();
  NameIndex now(current, currentOrder.size());
  // Per position: the position of the first current row of the same name.
  std::vector<std::uint32_t> firstOf(currentOrder.size());
  for (std::uint32_t i = 0; i < currentOrder.size(); ++i)
    firstOf[i] = now.Add(current.Text(currentOrder[i], dbaccount), i);
  // A current name the backup holds: set at its first row. A backup row whose name is set
  // already repeats an earlier one; only the first counts.
  std::vector<std::uint8_t> inBackup(currentOrder.size(), 0);
  NameIndex deleted(backup, backupOrder.size());
  std::optional<NameIndex> inServer;  // built when a pending row first asks

  int found = 0;
  for (std::uint32_t j = 0; j < backupOrder.size(); ++j) {
    const RowId b = backupOrder[j];
    const std::string_view name = backup.Text(b, dbaccount);
    const std::uint32_t at = now.Find(name);
    if (at == NameIndex::kNone) {
      if (deleted.Add(name, j) != j) continue;
      ++diff.backupRows;
      RestoreItem item;
      item.kind = RestoreItem::Kind::Deleted;
      item.backupRow = b;
      diff.items.push_back(std::move(item));
      ++diff.deleted;
      continue;
    }
    if (inBackup[at]) continue;
    inBackup[at] = 1;
    ++diff.backupRows;
    ++found;
    const RowId c = currentOrder[at];
    const int status = current.IntOr0(c, dbstatus);
    const bool rowPending = status == StatusChanged || status == StatusNew;
    RestoreItem item;
    for (Field f : RestorableFields()) {
      const bool differs = FieldInfoOf(f).isInteger ? backup.IntOr0(b, f) != current.IntOr0(c, f)
                                                    : backup.Text(b, f) != current.Text(c, f);
      if (!differs) continue;
      // The update file has no line for an empty language: the server would keep the
      // current one while the row was reported taken over.
      if (f == dblanguage && backup.Text(b, f).empty()) continue;
      item.fields.push_back(f);
    }
    if (item.fields.empty()) continue;
    if (rowPending) {
      RowId s = kNoRow;
      if (server) {
        if (!inServer) {
          inServer.emplace(*server, server->Order().size());
          for (std::uint32_t k = 0; k < server->Order().size(); ++k)
            inServer->Add(server->Text(server->Order()[k], dbaccount), k);
        }
        const std::uint32_t k = inServer->Find(name);
        if (k != NameIndex::kNone) s = server->Order()[k];
      }
      for (Field f : item.fields)
        if (s == kNoRow || current.DisplayText(c, f) != server->DisplayText(s, f))
          item.pending.push_back(f);
    }
    item.kind = RestoreItem::Kind::Changed;
    item.backupRow = b;
    item.currentRow = c;
    diff.items.push_back(std::move(item));
    ++diff.changed;
  }
  for (std::uint32_t i = 0; i < currentOrder.size(); ++i) {
    if (inBackup[firstOf[i]]) continue;
    RestoreItem item;
    item.kind = RestoreItem::Kind::New;
    item.currentRow = currentOrder[i];
    diff.items.push_back(std::move(item));
    ++diff.added;
  }
  diff.foreign = diff.backupRows > 0 && found == 0 && !currentOrder.empty();
  return diff;
}

int ApplyRestore(AccountTable& table, const AccountTable& backup, const RestoreItem& item,
                 const std::vector<Field>& fields, PendingChoice choice) {
  switch (item.kind) {
    case RestoreItem::Kind::New:
      return 0;
    case RestoreItem::Kind::Deleted: {
      table.Append();
      table.SetText(dbaccount, backup.Text(item.backupRow, dbaccount));
      for (int f = dbaccount + 1; f < kFieldCount; ++f)
        if (f != dbstatus && f != dbcounter)
          SetFrom(table, backup, item.backupRow, static_cast<Field>(f));
      table.SetInt(dbstatus, StatusNew);
      table.Post();
      return static_cast<int>(RestorableFields().size());
    }
    case RestoreItem::Kind::Changed:
      break;
  }
  table.SetCurrent(item.currentRow);
  if (table.Current() != item.currentRow) return 0;
  const std::vector<Field>& chosen = fields.empty() ? item.fields : fields;
  int set = 0;
  table.Edit();
  for (Field f : chosen) {
    if (std::find(item.fields.begin(), item.fields.end(), f) == item.fields.end()) continue;
    if (choice == PendingChoice::KeepPending && item.IsPending(f)) continue;
    SetFrom(table, backup, item.backupRow, f);
    ++set;
  }
  if (set > 0 && table.IntOr0(item.currentRow, dbstatus) == StatusStored)
    table.SetInt(dbstatus, StatusChanged);
  table.Post();
  return set;
}

}  // namespace kov
