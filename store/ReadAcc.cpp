#include "store/ReadAcc.h"

#include <algorithm>
#include <cstring>

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

// Reads the whole file into a buffer the table keeps; nullptr (with `result` filled in) when
// there is nothing to read: no file, a read error, or no text.
const char* AdoptFile(AccountTable& table, const std::string& path, ReadResult& result,
                      size_t& size) {
  FileBytes bytes;
  std::string error;
  switch (ReadWholeFile(path, bytes, &error)) {
    case FileReadStatus::Missing:
      result.status = ReadResult::Status::FileNotFound;
      return nullptr;
    case FileReadStatus::Error:
      result.status = ReadResult::Status::ReadError;
      result.message = error;
      return nullptr;
    case FileReadStatus::Ok:
      break;
  }
  if (bytes.size == 0) {
    result.emptyFile = true;
    return nullptr;
  }
  size = bytes.size;
  return table.AdoptBuffer(std::move(bytes.data), size);
}

}  // namespace detail

using namespace detail;

ReadResult ReadAccountFile(AccountTable& table, const std::string& path,
                           const ReadOptions& options) {
  ReadResult result;
  size_t size = 0;
  const char* text = AdoptFile(table, path, result, size);
  if (!text) return result;
  Progress progress{options.progress, size};
  progress.Report(0);

  // Accounts take about 300 bytes; reserving more than needed costs only address space.
  table.ReserveRows(size / 96 + 16);
  table.BeginUpdate();
  LineSplitter lines({text, size});
  std::string_view line, v;
  bool inRow = false;
  int lineNo = 0;
  const int before = table.RowCount();
  const Clock& now = options.now;
  while (lines.Next(line)) {
    ++lineNo;
    if ((lineNo & 1023) == 0) progress.Report(lines.Offset());
    if (line.empty()) continue;
    const char c = line[0];
    if (c == '[') {
      const std::string_view name = SectionName(line);
      if (!IsEofName(name)) {
        table.Append();
        InitReadRow(table, name, StatusStored);
        inRow = true;
      }
      continue;
    }
    if (!inRow) continue;  // key lines before the first section have no row
    // Dispatch on the first character; no recognised key begins with another one.
    switch (c) {
      case 'P':
        if (KeyValue(line, "PASSWORD", v)) table.SetTextNoCopy(dbpasswort, PasswordValue(v));
        else if (KeyValue(line, "PLEVEL", v)) table.SetTextNoCopy(dbplevel, PLevelCodeToName(v));
        else if (KeyValue(line, "PRIV", v)) table.SetLoadedText(dbpriv, DollarValue(v));
        break;
      case 'E':
        if (KeyValue(line, "EMAIL", v)) table.SetLoadedText(dbemail, v);
        break;
      case 'T':
        if (KeyValue(line, "TAG.EMAIL", v)) {
          table.SetLoadedText(dbemail, v);
        } else if (KeyValue(line, "TAG.COMMENT", v)) {
          if (!v.empty()) {
            if (v.front() == '"') v.remove_prefix(1);
            if (!v.empty() && v.back() == '"') v.remove_suffix(1);
            table.SetLoadedText(dbcommend, v);
          }
        } else if (KeyValue(line, "TOTALCONNECTTIME", v)) {
          table.SetLoadedText(dbtotalct, v);
        }
        break;
      case 'C':
        if (KeyValue(line, "CHATNAME", v)) {
          table.SetLoadedText(dbchatname, v);
        } else if (KeyValue(line, "CHARUID", v)) {
          for (Field f : {dbcharuid1, dbcharuid2, dbcharuid3, dbcharuid4, dbcharuid5}) {
            if (table.Text(f).empty()) {
              table.SetLoadedText(f, v);
              break;
            }
          }
        }
        break;
      case 'L':
        if (KeyValue(line, "LANG", v)) {
          table.SetLoadedText(dblanguage, v);
        } else if (KeyValue(line, "LASTCONNECTTIME", v)) {
          table.SetLoadedText(dblastct, v);
        } else if (KeyValue(line, "LASTCONNECTDATE", v)) {
          table.SetLoadedText(dblastcd, v);
          const std::string_view stored = table.Text(dblastcd);
          if (!stored.empty()) {
            auto date = ParseLastConnectDate(stored);
            if (!date) {
              result.status = ReadResult::Status::ConversionError;
              result.kind = "date";
              result.lineNumber = lineNo;
              result.text = std::string(stored);
              goto stop;
            }
            table.SetInt(dbcounter, DaysSince(*date, now));
          }
        } else if (KeyValue(line, "LASTCHARUID", v)) {
          table.SetLoadedText(dblastcuid, v);
        } else if (KeyValue(line, "LASTIP", v)) {
          table.SetLoadedText(dblastip, v);
        }
        break;
      case 'B':
      case 'J': {
        const bool block = c == 'B';
        if (KeyValue(line, block ? "BLOCK" : "JAIL", v)) {
          auto n = ParseInteger(v);
          if (!n) {
            result.status = ReadResult::Status::ConversionError;
            result.kind = "integer";
            result.lineNumber = lineNo;
            result.text = std::string(v);
            goto stop;
          }
          table.SetInt(block ? dbblock : dbjail, *n);
        }
        break;
      }
      case 'F':
        if (KeyValue(line, "FIRSTCONNECTDATE", v)) table.SetLoadedText(dbfirstcd, v);
        else if (KeyValue(line, "FIRSTIP", v)) table.SetLoadedText(dbfirstip, v);
        break;
      default:
        break;
    }
  }
stop:
  // A row cut short by a conversion error stays: what was read of it is shown.
  table.Post();
  result.rowsAdded = table.RowCount() - before;
  table.EndUpdate();
  if (result.ok()) table.First();
  progress.Report(size);
  return result;
}

}  // namespace kov
