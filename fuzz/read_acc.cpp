// The server's account file: every byte sequence reads to a result, never a crash.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "store/ReadAcc.h"
#include "store/SaveAcct.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  AccountTable table;
  ReadOptions options;
  options.now = *Clock::FromIso("2026-12-09");
  const ReadResult r = ReadAccountFile(table, fuzz::WriteScratch(data, size), options);
  if (r.status == ReadResult::Status::FileNotFound || r.status == ReadResult::Status::ReadError)
    std::abort();
  if (r.rowsAdded != table.RowCount()) std::abort();
  // Every row read must be displayable and writable as an update block.
  for (RowId row : table.Order()) {
    for (int f = 0; f < kFieldCount; ++f) (void)table.DisplayText(row, static_cast<Field>(f));
    (void)table.CharacterCount(row);
    if (UnwritableField(table, row).empty()) (void)BuildUpdateFile(table, {row});
  }
  return 0;
}
