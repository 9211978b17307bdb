#pragma once
#include <string>

#include "store/AccountTable.h"
#include "store/Date.h"
#include "store/ReadResult.h"
#include "store/ScriptSyntax.h"

namespace kov {

struct ReadOptions {
  Clock now = Clock::Now();  // what the day counter counts up to
  ProgressFn progress;
};

// Appends one row per account section of the server's account file, after the rows the
// table holds. Makes the first row current at the end.
ReadResult ReadAccountFile(AccountTable& table, const std::string& path,
                           const ReadOptions& options = {});

namespace detail {
// The same, reading the file in chunks of the given size (small ones for tests).
ReadResult ReadAccountFileChunked(AccountTable& table, const std::string& path,
                                  const ReadOptions& options, size_t chunkBytes);
}  // namespace detail

}  // namespace kov
