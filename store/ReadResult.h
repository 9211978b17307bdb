#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace kov {

struct ReadResult {
  enum class Status {
    Ok,               // read to the end (also: an empty file, a file without sections)
    FileNotFound,     // no file at the path (it may have vanished after the caller's check)
    ReadError,        // the file could not be read (message in `message`)
    ConversionError,  // reading stopped at `lineNumber`: `text` is not a number or a date
  };
  Status status = Status::Ok;
  int rowsAdded = 0;       // rows appended to the table
  int rowsUpdated = 0;     // existing rows an update section was laid over
  int lineNumber = 0;      // 1-based, for a conversion error
  std::string text;        // the offending value, as read (Windows-1252)
  std::string kind;        // "integer" or "date"
  std::string message;     // for ReadError
  bool emptyFile = false;  // 0 bytes (or no text before a NUL): nothing was shown or changed

  bool ok() const { return status == Status::Ok; }
};

// Progress of a long read: position and maximum (bytes). Called now and then, not per line.
using ProgressFn = std::function<void(std::uint64_t pos, std::uint64_t max)>;

}  // namespace kov
