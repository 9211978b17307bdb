#include "store/ReadAcct.h"

namespace kov {

namespace detail {
void InitReadRow(AccountTable& t, std::string_view name, int status);
std::string_view DollarValue(std::string_view value);
std::string_view PasswordValue(std::string_view value);
const char* AdoptFile(AccountTable& table, const std::string& path, ReadResult& result,
                      size_t& size);
void SetConversionError(ReadResult& result, const char* kind, int lineNumber,
                        std::string_view text);
}  // namespace detail

using namespace detail;

ReadResult ReadAccountUpdateFile(AccountTable& table, const std::string& path,
                                 const ReadOptions& options) {
  ReadResult result;
  size_t size = 0;
  const char* text = AdoptFile(table, path, result, size);
  if (!text) return result;
  const ProgressFn& progress = options.progress;
  if (progress) progress(0, size);

  table.BeginUpdate();
  const int before = table.RowCount();
  LineSplitter lines({text, size});
  std::string_view line, v;
  bool inRow = false;
  int lineNo = 0;
  while (lines.Next(line)) {
    ++lineNo;
    if (progress && (lineNo & 4095) == 0) progress(lines.Offset(), size);
    if (line.empty()) continue;
    if (line[0] == '[') {
      const std::string_view name = SectionName(line);
      if (IsEofName(name)) continue;
      // Found only by the exact name: a row whose name merely begins with it is another
      // account, and a server that sees two sections would get a phantom duplicate.
      if (table.Locate(name)) {
        table.Edit();
        table.SetTextNoCopy(dbaccount, name);
        table.SetInt(dbstatus, StatusChanged);
        ++result.rowsUpdated;
      } else {
        table.Append();
        InitReadRow(table, name, StatusNew);
      }
      inRow = true;
      continue;
    }
    if (!inRow) continue;
    if (KeyValue(line, "PASSWORD", v))
      table.SetTextNoCopy(dbpasswort, PasswordValue(v));
    else if (KeyValue(line, "EMAIL", v))
      table.SetTextNoCopy(dbemail, v);
    else if (KeyValue(line, "TAG.EMAIL", v))
      table.SetTextNoCopy(dbemail, v);
    else if (KeyValue(line, "PLEVEL", v))
      table.SetTextNoCopy(dbplevel, PLevelCodeToName(v));
    else if (KeyValue(line, "CHATNAME", v))
      table.SetTextNoCopy(dbchatname, v);
    else if (KeyValue(line, "LANG", v))
      table.SetTextNoCopy(dblanguage, v);
    else if (KeyValue(line, "TAG.COMMENT", v))
      table.SetTextNoCopy(dbcommend, v);
    else if (KeyValue(line, "PRIV", v))
      table.SetTextNoCopy(dbpriv, DollarValue(v));
    else if (KeyValue(line, "BLOCK", v) || KeyValue(line, "JAIL", v)) {
      auto n = ParseInteger(v);
      if (!n) {
        SetConversionError(result, "integer", lineNo, v);
        break;
      }
      table.SetInt(line[0] == 'B' ? dbblock : dbjail, *n);
    }
  }
  table.Post();
  result.rowsAdded = table.RowCount() - before;
  table.EndUpdate();
  if (result.ok()) table.First();
  if (progress) progress(size, size);
  return result;
}

}  // namespace kov
