// The server's account file: every byte sequence reads to a result, never a crash; read in
// small chunks (lines falling across chunk borders) it reads exactly as in one piece.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "store/ReadAcc.h"
#include "store/SaveAcct.h"

namespace {

bool SameResult(const kov::ReadResult& a, const kov::ReadResult& b) {
  return a.status == b.status && a.rowsAdded == b.rowsAdded && a.lineNumber == b.lineNumber &&
         a.text == b.text && a.kind == b.kind && a.emptyFile == b.emptyFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  AccountTable table;
  ReadOptions options;
  options.now = *Clock::FromIso("2026-12-09");
  const std::string& path = fuzz::WriteScratch(data, size);
  const ReadResult r = ReadAccountFile(table, path, options);
  if (r.status == ReadResult::Status::FileNotFound || r.status == ReadResult::Status::ReadError)
    std::abort();
  if (r.rowsAdded != table.RowCount()) std::abort();
  // Every row read must be displayable and writable as an update block.
  for (RowId row : table.Order()) {
    for (int f = 0; f < kFieldCount; ++f) (void)table.DisplayText(row, static_cast<Field>(f));
    (void)table.CharacterCount(row);
    if (UnwritableField(table, row).empty()) (void)BuildUpdateFile(table, {row});
  }

  // The chunk size follows the input's size and last byte, so mutations move the borders.
  const std::size_t chunk = 1 + (size + (size ? data[size - 1] : 0)) % 97;
  AccountTable chunked;
  const ReadResult c = detail::ReadAccountFileChunked(chunked, path, options, chunk);
  if (!SameResult(r, c) || chunked.Order().size() != table.Order().size()) std::abort();
  for (std::size_t i = 0; i < table.Order().size(); ++i) {
    for (int f = 0; f < kFieldCount; ++f) {
      if (table.DisplayText(table.Order()[i], static_cast<Field>(f)) !=
          chunked.DisplayText(chunked.Order()[i], static_cast<Field>(f)))
        std::abort();
    }
  }
  return 0;
}
