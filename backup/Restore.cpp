#include "backup/Restore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "backup/Huffman.h"
#include "store/Files.h"
#include "store/ScriptSyntax.h"

namespace kov {

namespace {

constexpr std::string_view kDumpFirstLine = "//Created with Vornex Script Manager";
constexpr std::string_view kDumpDateLine = "//Backup from ";
constexpr int kLinesPerRow = kFieldCount + 1;  // the name, the other fields, an empty line

// The decoded dump goes straight into the buffer the table adopts, sized from the stream's
// header: no regrowing, no copy of 20 MB of passwords.
class BufferOutput final : public HuffmanOutput {
 public:
  explicit BufferOutput(std::size_t capacity)
      : m_data(std::make_unique<char[]>(capacity + 1)), m_capacity(capacity) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    if (size > m_capacity - m_size) return false;
    std::memcpy(m_data.get() + m_size, data, size);
    m_size += size;
    return true;
  }
  std::unique_ptr<char[]>& Data() { return m_data; }
  std::size_t Size() const { return m_size; }
  void Wipe() {
    volatile char* p = m_data.get();
    for (std::size_t i = 0; i < m_size; ++i) p[i] = 0;
  }

 private:
  std::unique_ptr<char[]> m_data;
  std::size_t m_capacity;
  std::size_t m_size = 0;
};

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

// Checks the whole dump first (a damaged backup leaves the table alone), then loads it; the
// table adopts the buffer.
BackupReadResult ParseDump(std::unique_ptr<char[]>& buffer, std::size_t size, AccountTable& table) {
  const std::string_view text(buffer.get(), size);
  BackupReadResult result;
  int rows = 0;
  {
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
    while (lines.Next(line)) {
      if (line.size() < 2 || line.front() != '[' || line.back() != ']')
        return Damaged(lines.Number(), "should name an account in brackets");
      for (int f = dbaccount + 1; f < kFieldCount; ++f) {
        if (!lines.Next(line))
          return Damaged(lines.Number() + 1, "is missing: the account ends early");
        if (FieldInfoOf(static_cast<Field>(f)).isInteger && !ParseInteger(line))
          return Damaged(lines.Number(), "should be a number");
      }
      if (!lines.Next(line) || !line.empty() || lines.Unterminated())
        return Damaged(lines.Number() + 1, "should end the account with an empty line");
      ++rows;
    }
  }

  table.Empty();
  table.ReserveRows(static_cast<std::size_t>(rows));
  table.BeginUpdate();
  table.AdoptBuffer(std::move(buffer), size);
  {
    AccountTable::Loader loader(table);
    DumpLines lines(text);
    std::string_view line;
    for (int i = 0; i < 5; ++i) lines.Next(line);
    while (lines.Next(line)) {
      loader.BeginRow(SectionName(line), StatusStored);
      for (int f = dbaccount + 1; f < kFieldCount; ++f) {
        lines.Next(line);
        const auto field = static_cast<Field>(f);
        if (FieldInfoOf(field).isInteger)
          loader.SetInt(field, *ParseInteger(line));
        else
          loader.SetText(field, line);
      }
      lines.Next(line);
    }
    loader.Finish();
  }
  table.EndUpdate();
  result.status = BackupReadResult::Status::Ok;
  result.rows = rows;
  return result;
}

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
  MemoryInput input(stream);
  BufferOutput output(static_cast<std::size_t>(symbols));
  THuffmanDecoder decoder;
  decoder.SetInput(&input);
  decoder.SetOutput(&output);
  const HuffmanStatus status = decoder.Decode();
  if (status != HuffmanStatus::Ok) {
    output.Wipe();
    result.status = BackupReadResult::Status::ReadError;
    result.message = HuffmanStatusText(status);
    return result;
  }
  if (!decoder.Complete()) {
    output.Wipe();
    result.status = BackupReadResult::Status::Truncated;
    result.bytesRecovered = decoder.SymbolsWritten();
    result.bytesExpected = decoder.SymbolCount();
    result.message = "the file is cut short: " + std::to_string(result.bytesRecovered) + " of " +
                     std::to_string(result.bytesExpected) + " bytes could be decoded";
    return result;
  }
  const std::size_t size = output.Size();
  result = ParseDump(output.Data(), size, table);
  if (output.Data()) output.Wipe();  // not adopted: the backup was refused
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
  std::unordered_map<std::string_view, RowId> now(currentOrder.size() * 2);
  for (RowId r : currentOrder) now.emplace(current.Text(r, dbaccount), r);
  std::unordered_map<std::string_view, RowId> inServer;
  if (server)
    for (RowId r : server->Order()) inServer.emplace(server->Text(r, dbaccount), r);

  std::unordered_map<std::string_view, RowId> seen(backup.Order().size() * 2);
  int found = 0;
  for (RowId b : backup.Order()) {
    const std::string_view name = backup.Text(b, dbaccount);
    if (!seen.emplace(name, b).second) continue;  // a duplicate: the first one counts
    ++diff.backupRows;
    const auto it = now.find(name);
    if (it == now.end()) {
      RestoreItem item;
      item.kind = RestoreItem::Kind::Deleted;
      item.backupRow = b;
      diff.items.push_back(std::move(item));
      ++diff.deleted;
      continue;
    }
    ++found;
    const RowId c = it->second;
    RestoreItem item;
    item.kind = RestoreItem::Kind::Changed;
    item.backupRow = b;
    item.currentRow = c;
    const int status = current.IntOr0(c, dbstatus);
    const bool rowPending = status == StatusChanged || status == StatusNew;
    RowId s = kNoRow;
    if (rowPending && server) {
      const auto at = inServer.find(name);
      if (at != inServer.end()) s = at->second;
    }
    for (Field f : RestorableFields()) {
      const bool differs = FieldInfoOf(f).isInteger ? backup.IntOr0(b, f) != current.IntOr0(c, f)
                                                    : backup.Text(b, f) != current.Text(c, f);
      if (!differs) continue;
      // The update file has no line for an empty language: the server would keep the
      // current one while the row was reported taken over.
      if (f == dblanguage && backup.Text(b, f).empty()) continue;
      item.fields.push_back(f);
      if (rowPending && (s == kNoRow || current.DisplayText(c, f) != server->DisplayText(s, f)))
        item.pending.push_back(f);
    }
    if (item.fields.empty()) continue;
    diff.items.push_back(std::move(item));
    ++diff.changed;
  }
  for (RowId c : currentOrder) {
    if (seen.count(current.Text(c, dbaccount))) continue;
    RestoreItem item;
    item.kind = RestoreItem::Kind::New;
    item.currentRow = c;
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
