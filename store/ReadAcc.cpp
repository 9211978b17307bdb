#include "store/ReadAcc.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "store/FileStream.h"

namespace kov {

namespace detail {

// Sets the defaults every reader gives a row it creates.
void InitReadRow(AccountTable& t, std::string_view name, int status) {
  t.SetTextNoCopy(dbaccount, name);
  t.SetTextNoCopy(dbplevel, "Player");
  t.SetTextNoCopy(dbpriv, "$0");
  t.SetInt(dbblock, 0);
  t.SetInt(dbjail, 0);
  t.SetInt(dbstatus, status);
  t.SetInt(dbcounter, -1);
}

// "$" + the value, without copying: the separator before the value is in our own buffer,
// so it can become the "$".
std::string_view DollarValue(std::string_view value) {
  char* sep = const_cast<char*>(value.data()) - 1;
  *sep = '$';
  return {sep, value.size() + 1};
}

std::string_view PasswordValue(std::string_view value) {
  // Compared after the cut to the field's capacity, as the stored password.
  return value.substr(0, 100) == "[EOF]" ? std::string_view(kEofPasswordWarning) : value;
}

struct Progress {
  const ProgressFn& fn;
  std::uint64_t max;
  std::uint64_t next = 0;
  void Report(std::uint64_t pos) {
    if (!fn || pos < next) return;
    next = pos + (1u << 18);
    fn(pos, max);
  }
};

// Fills in `result` for a file that could not be opened; false when it could. `what` names
// the file for the operator ("account file").
bool OpenFailed(FileReadStatus status, const std::string& error, ReadResult& result,
                const char* what) {
  switch (status) {
    case FileReadStatus::TooLarge:
      result.status = ReadResult::Status::ReadError;
      result.message = TooLargeText(what, std::stoull(error));
      return true;
    case FileReadStatus::Missing:
      result.status = ReadResult::Status::FileNotFound;
      return true;
    case FileReadStatus::Error:
      result.status = ReadResult::Status::ReadError;
      result.message = error;
      return true;
    case FileReadStatus::Ok:
      break;
  }
  return false;
}

void SetConversionError(ReadResult& result, const char* kind, int lineNumber,
                        std::string_view text) {
  result.status = ReadResult::Status::ConversionError;
  result.kind = kind;
  result.lineNumber = lineNumber;
  result.text = std::string(text);
}

// Reads the whole file into a buffer the table keeps; nullptr (with `result` filled in) when
// there is nothing to read: no file, a read error, or no text.
const char* AdoptFile(AccountTable& table, const std::string& path, ReadResult& result,
                      size_t& size) {
  FileBytes bytes;
  std::string error;
  if (OpenFailed(ReadWholeFile(path, bytes, &error), error, result, "update file")) return nullptr;
  if (bytes.size == 0) {
    result.emptyFile = true;
    return nullptr;
  }
  size = bytes.size;
  return table.AdoptBuffer(std::move(bytes.data), size);
}

}  // namespace detail

using namespace detail;

namespace {

// Position just past the last complete line of text[begin, end): a CR as the very last byte
// may still be followed by its LF.
size_t CompleteLines(const char* text, size_t begin, size_t end) {
  for (size_t i = end; i > begin; --i) {
    const char c = text[i - 1];
    if (c == '\n' || (c == '\r' && i < end)) return i;
  }
  return begin;
}

class AccountFileParser {
 public:
  AccountFileParser(AccountTable::Loader& rows, ReadResult& result, const Clock& now,
                    Progress& progress)
      : m_rows(rows), m_result(result), m_now(now), m_progress(progress) {}

  // The lines of text[begin, end); false once a value could not be converted.
  bool Lines(const char* text, size_t begin, size_t end) {
    LineSplitter lines({text + begin, end - begin});
    std::string_view line, v;
    while (lines.Next(line)) {
      ++m_lineNo;
      if ((m_lineNo & 1023) == 0) m_progress.Report(begin + lines.Offset());
      if (line.empty()) continue;
      const char c = line[0];
      if (c == '[') {
        const std::string_view name = SectionName(line);
        if (!IsEofName(name)) m_rows.BeginRow(name, StatusStored);
        continue;
      }
      if (!m_rows.InRow()) continue;  // key lines before the first section have no row
      // Dispatch on the first character; no recognised key begins with another one.
      switch (c) {
        case 'P':
          if (KeyValue(line, "PASSWORD", v))
            m_rows.SetText(dbpasswort, PasswordValue(v));
          else if (KeyValue(line, "PLEVEL", v))
            m_rows.SetText(dbplevel, PLevelCodeToName(v));
          else if (KeyValue(line, "PRIV", v))
            m_rows.SetText(dbpriv, DollarValue(v));
          break;
        case 'E':
          if (KeyValue(line, "EMAIL", v)) m_rows.SetText(dbemail, v);
          break;
        case 'T':
          if (KeyValue(line, "TAG.EMAIL", v)) {
            m_rows.SetText(dbemail, v);
          } else if (KeyValue(line, "TAG.COMMENT", v)) {
            if (!v.empty()) {
              if (v.front() == '"') v.remove_prefix(1);
              if (!v.empty() && v.back() == '"') v.remove_suffix(1);
              m_rows.SetText(dbcommend, v);
            }
          } else if (KeyValue(line, "TOTALCONNECTTIME", v)) {
            m_rows.SetText(dbtotalct, v);
          }
          break;
        case 'C':
          if (KeyValue(line, "CHATNAME", v)) {
            m_rows.SetText(dbchatname, v);
          } else if (KeyValue(line, "CHARUID", v)) {
            for (Field f : {dbcharuid1, dbcharuid2, dbcharuid3, dbcharuid4, dbcharuid5}) {
              if (m_rows.IsEmpty(f)) {
                m_rows.SetText(f, v);
                break;
              }
            }
          }
          break;
        case 'L':
          if (KeyValue(line, "LANG", v)) {
            m_rows.SetText(dblanguage, v);
          } else if (KeyValue(line, "LASTCONNECTTIME", v)) {
            m_rows.SetText(dblastct, v);
          } else if (KeyValue(line, "LASTCONNECTDATE", v)) {
            m_rows.SetText(dblastcd, v);
            const std::string_view stored = m_rows.Text(dblastcd);
            if (!stored.empty()) {
              auto date = ParseLastConnectDate(stored);
              if (!date) {
                SetConversionError(m_result, "date", m_lineNo, stored);
                break;
              }
              m_rows.SetInt(dbcounter, DaysSince(*date, m_now));
            }
          } else if (KeyValue(line, "LASTCHARUID", v)) {
            m_rows.SetText(dblastcuid, v);
          } else if (KeyValue(line, "LASTIP", v)) {
            m_rows.SetText(dblastip, v);
          }
          break;
        case 'B':
        case 'J': {
          const bool block = c == 'B';
          if (KeyValue(line, block ? "BLOCK" : "JAIL", v)) {
            auto n = ParseInteger(v);
            if (!n) {
              SetConversionError(m_result, "integer", m_lineNo, v);
              break;
            }
            m_rows.SetInt(block ? dbblock : dbjail, *n);
          }
          break;
        }
        case 'F':
          if (KeyValue(line, "FIRSTCONNECTDATE", v))
            m_rows.SetText(dbfirstcd, v);
          else if (KeyValue(line, "FIRSTIP", v))
            m_rows.SetText(dbfirstip, v);
          break;
        default:
          break;
      }
      if (!m_result.ok()) return false;
    }
    return true;
  }

 private:
  AccountTable::Loader& m_rows;
  ReadResult& m_result;
  const Clock& m_now;
  Progress& m_progress;
  int m_lineNo = 0;
};

}  // namespace

ReadResult ReadAccountFile(AccountTable& table, const std::string& path,
                           const ReadOptions& options) {
  return ReadAccountFileChunked(table, path, options, 512 * 1024);
}

ReadResult detail::ReadAccountFileChunked(AccountTable& table, const std::string& path,
                                          const ReadOptions& options, size_t chunkBytes) {
  ReadResult result;
  FileStream file(chunkBytes);
  std::string error;
  if (OpenFailed(file.Open(path, &error), error, result, "account file")) return result;
  FileStream::Progress got = file.Wait(0);
  if (got.end && got.available == 0) {
    if (file.Failed(&error)) {
      result.status = ReadResult::Status::ReadError;
      result.message = error;
    } else {
      result.emptyFile = true;
    }
    return result;
  }
  const size_t expected = std::max<size_t>(file.ExpectedSize(), 1);
  const char* text = table.AdoptBuffer(file.TakeBuffer(), file.Capacity());
  Progress progress{options.progress, expected};
  progress.Report(0);

  // Accounts take about 300 bytes; reserving more than needed costs only address space.
  std::pair<void*, size_t> rowStorage;
  try {
    table.ReserveRows(expected / 96 + 16);
    // Most accounts take more than 250 bytes; storage for that many rows is made ready by
    // the reading thread while this one parses.
    rowStorage = table.UnusedRowStorage(expected / 250);
  } catch (const std::bad_alloc&) {
    result.status = ReadResult::Status::ReadError;
    result.message = TooLargeText("account file", file.ExpectedSize());
    return result;
  }
  file.PrefaultAfterReading(rowStorage.first, rowStorage.second);
  table.BeginUpdate();
  const int before = table.RowCount();
  {
    AccountTable::Loader rows(table);
    AccountFileParser parser(rows, result, options.now, progress);
    size_t done = 0;
    for (;;) {
      const size_t cut = got.end ? got.available : CompleteLines(text, done, got.available);
      if (cut > done) {
        if (!parser.Lines(text, done, cut)) break;
        done = cut;
      }
      if (got.end) break;
      got = file.Wait(got.available);
    }
    file.Stop();
    // A row cut short by a conversion error stays: what was read of it is shown.
    rows.Finish();
  }
  if (result.ok() && file.Failed(&error)) {
    result.status = ReadResult::Status::ReadError;
    result.message = error;
  }
  result.rowsAdded = table.RowCount() - before;
  table.EndUpdate();
  if (result.ok()) table.First();
  progress.Report(expected);
  return result;
}

}  // namespace kov
