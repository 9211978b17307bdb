// The update file laid over a table read from a fixed account file: any bytes update or add
// rows, and every pending row can be written back.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "store/ReadAcct.h"
#include "store/SaveAcct.h"

namespace {

const char kAccounts[] =
    "[alpha]\r\nPLEVEL=1\r\nPRIV=$0\r\nPASSWORD=a\r\nBLOCK=0\r\nJAIL=0\r\n"
    "LASTCONNECTDATE=2026/12/01 10:00:00\r\nCHARUID=01\r\n\r\n"
    "[beta]\r\nPLEVEL=7\r\nPASSWORD=b\r\n[EOF]\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  AccountTable table;
  ReadOptions options;
  options.now = *Clock::FromIso("2026-12-09");
  const std::string& path =
      fuzz::WriteScratch(reinterpret_cast<const std::uint8_t*>(kAccounts), sizeof kAccounts - 1);
  if (!ReadAccountFile(table, path, options).ok()) std::abort();
  const int before = table.RowCount();
  const ReadResult r = ReadAccountUpdateFile(table, fuzz::WriteScratch(data, size), options);
  if (r.status == ReadResult::Status::FileNotFound || r.status == ReadResult::Status::ReadError)
    std::abort();
  if (table.RowCount() != before + r.rowsAdded) std::abort();
  std::vector<RowId> pending;
  for (RowId row : table.Order()) {
    for (int f = 0; f < kFieldCount; ++f) (void)table.DisplayText(row, static_cast<Field>(f));
    const int status = table.IntOr0(row, dbstatus);
    if ((status == StatusNew || status == StatusChanged) && UnwritableField(table, row).empty())
      pending.push_back(row);
  }
  (void)BuildUpdateFile(table, pending);
  return 0;
}
