#include "export/ExportColumns.h"

namespace kov {

std::vector<ExportColumn> DefaultExportColumns() {
  return {{dbstatus, "S"},      {dbaccount, "Account"}, {dbpasswort, "Password"},
          {dbplevel, "PLevel"}, {dbemail, "EMail"},     {dbcounter, "Days"}};
}

bool IsNumberColumn(const ExportColumn& column) {
  return column.characterCount || FieldInfoOf(column.field).isInteger;
}

std::optional<std::int32_t> NumberCell(const AccountTable& table, RowId row,
                                       const ExportColumn& column) {
  if (column.characterCount) return table.CharacterCount(row);
  return table.Int(row, column.field);
}

std::string CellText(const AccountTable& table, RowId row, const ExportColumn& column) {
  if (IsNumberColumn(column)) {
    const auto v = NumberCell(table, row, column);
    return v ? std::to_string(*v) : std::string();
  }
  return std::string(table.Text(row, column.field));
}

void WalkExportRows(const AccountTable& table, const ExportProgressFn& progress,
                    const std::function<bool(RowId)>& row) {
  const std::int64_t maximum = table.RowCount();
  auto report = [&](std::int64_t position) {
    if (progress) progress(0, maximum, position);
  };
  report(0);
  const int count = table.ViewCount();
  for (int i = 0; i < count; ++i) {
    if (!row(table.ViewRow(i))) return;
    if ((i & 4095) == 4095) report(i + 1);
  }
  report(maximum);
}

}  // namespace kov
