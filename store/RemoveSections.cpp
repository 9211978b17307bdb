#include "store/RemoveSections.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_set>

#include "store/Files.h"
#include "store/ScriptSyntax.h"

namespace kov {

namespace {

// Start of the line after the one starting at `pos` (CR, LF or CR LF end a line).
size_t NextLine(std::string_view text, size_t pos) {
  const size_t end = text.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) return text.size();
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') return end + 2;
  return end + 1;
}

std::string_view LineAt(std::string_view text, size_t pos) {
  const size_t end = text.find_first_of("\r\n", pos);
  return text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos);
}

enum class ReadStatus { Ok, Missing, Error };

ReadStatus ReadRaw(const std::string& path, std::string& out, std::string& error) {
  if (ReadAllBytes(path, out)) return ReadStatus::Ok;
  if (errno == ENOENT) return ReadStatus::Missing;
  error = "Cannot read " + path + ": " +
          (errno == EAGAIN ? ChangedWhileReadingText() : std::strerror(errno));
  return ReadStatus::Error;
}

}  // namespace

int RemoveAccountSectionsFrom(std::string& bytes, const std::vector<std::string>& names) {
  std::unordered_set<std::string_view> wanted;
  for (const std::string& n : names) wanted.insert(n);
  if (wanted.empty()) return 0;

  const std::string_view text(bytes);
  std::string kept;
  int removed = 0;
  bool dropping = false;
  size_t keptFrom = 0;  // start of the bytes not yet copied into `kept`
  for (size_t pos = 0; pos < text.size(); pos = NextLine(text, pos)) {
    if (text[pos] != '[') continue;
    const std::string_view name = SectionName(LineAt(text, pos));
    const bool drop = !IsEofName(name) && wanted.count(name) > 0;
    if (drop == dropping) {
      if (drop) ++removed;
      continue;
    }
    if (drop) {
      kept.append(text.substr(keptFrom, pos - keptFrom));
      ++removed;
    } else {
      keptFrom = pos;
    }
    dropping = drop;
  }
  if (removed == 0) return 0;
  if (!dropping) kept.append(text.substr(keptFrom));
  bytes.swap(kept);
  return removed;
}

RemoveSectionsResult RemoveAccountSections(const std::string& path,
                                           const std::vector<std::string>& names) {
  RemoveSectionsResult result;
  std::string bytes;
  switch (ReadRaw(path, bytes, result.error)) {
    case ReadStatus::Missing:
      return result;
    case ReadStatus::Error:
      result.ok = false;
      return result;
    case ReadStatus::Ok:
      break;
  }
  const int removed = RemoveAccountSectionsFrom(bytes, names);
  if (removed == 0) return result;
  // As Save: the operator's read-only file is not replaced.
  if (IsReadOnlyFile(path)) {
    result.ok = false;
    result.error = "The file is read-only: " + path;
    return result;
  }
  if (!WriteFileAtomically(path, bytes, result.error)) {
    result.ok = false;
    return result;
  }
  result.removed = removed;
  return result;
}

}  // namespace kov
