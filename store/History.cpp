#include "store/History.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "store/Cp1252.h"
#include "store/Files.h"
#include "store/MemoryAdvice.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace kov {

namespace {

constexpr std::string_view kKeys[HistoryLog::kColumns] = {"time",   "user",  "shard", "account",
                                                          "action", "field", "old",   "new"};
constexpr std::size_t kMaxHistoryBytes = 0x7FFFFFFFu;

void JsonQuote(std::string& out, std::string_view utf8) {
  out += '"';
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      static const char* hex = "0123456789abcdef";
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 0xF];
    } else {
      out += ch;
    }
  }
  out += '"';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex4(std::string_view s, std::size_t pos, std::uint32_t& value) {
  if (pos + 4 > s.size()) return false;
  value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const int h = HexValue(s[pos + i]);
    if (h < 0) return false;
    value = value << 4 | static_cast<std::uint32_t>(h);
  }
  return true;
}

// The first bytes and the last byte of a file, to check its header and whether its last line
// is closed.
bool PeekFile(const std::string& path, std::string& head, char& last, std::string& error) {
  std::FILE* f = FOpenSharedForReading(path);
  if (!f) {
    error = "Cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  char buffer[32];
  const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
  head.assign(buffer, n);
  last = '\n';
  if (n > 0 && std::fseek(f, -1, SEEK_END) == 0) {
    const int c = std::fgetc(f);
    if (c != EOF) last = static_cast<char>(c);
  }
  std::fclose(f);
  return true;
}

bool StartsWithHeader(std::string_view head) {
  const std::string_view header(kHistoryHeader);
  if (head.substr(0, header.size()) != header) return false;
  return head.size() == header.size() || head[header.size()] == '\n' || head[header.size()] == '\r';
}

std::string NotHistoryText(const std::string& path) {
  return path + " is not a change history of this program";
}

}  // namespace

std::string HistoryTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(text, n);
}

std::string CurrentUserName() {
#ifdef _WIN32
  char name[256];
  DWORD size = sizeof name;
  if (GetUserNameA(name, &size) && size > 0) return std::string(name, size - 1);
  if (const char* env = std::getenv("USERNAME")) return env;
#else
  // The account the process runs as, not what the environment claims.
  char buffer[4096];
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && pw.pw_name)
    return pw.pw_name;
  if (const char* env = std::getenv("USER")) return env;
  return "uid " + std::to_string(geteuid());
#endif
  return "?";
}

std::string HistoryFieldName(const char* fieldName) {
  std::string_view name(fieldName);
  if (name.substr(0, 2) == "db") name.remove_prefix(2);
  return std::string(name);
}

bool IsPasswordField(std::string_view historyFieldName) { return historyFieldName == "passwort"; }

std::string HistoryLine(const HistoryRecord& r) {
  std::string out;
  out.reserve(160 + r.shard.size() + r.oldValue.size() + r.newValue.size());
  const std::string* values[HistoryLog::kColumns] = {&r.time,   &r.user,  &r.shard,    &r.account,
                                                     &r.action, &r.field, &r.oldValue, &r.newValue};
  const bool password = IsPasswordField(r.field);
  out += '{';
  for (int c = 0; c < HistoryLog::kColumns; ++c) {
    if (c > 0) out += ',';
    out += '"';
    out += kKeys[c];
    out += "\":";
    if (password && (c == HistoryLog::Old || c == HistoryLog::New))
      JsonQuote(out, c == HistoryLog::New ? kHistoryPasswordValue : "");
    else
      JsonQuote(out, *values[c]);
  }
  out += ",\"takenOver\":";
  out += r.takenOver ? "true" : "false";
  out += "}\n";
  return out;
}

std::vector<std::string> RotatedHistoryFiles(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string prefix = target.filename().string() + ".";
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string number = name.substr(prefix.size());
    if (number.size() > 9 ||
        !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    found.emplace_back(std::stoul(number), JoinPath(folder.string(), name));
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> files;
  for (auto& f : found) files.push_back(std::move(f.second));
  return files;
}

bool AppendHistory(const std::string& path, const std::vector<HistoryRecord>& records,
                   std::string& error, std::uint64_t rotateBytes) {
  if (records.empty()) return true;
  std::string block;
  for (const HistoryRecord& r : records) block += HistoryLine(r);

  const auto size = FileSizeOf(path);
  bool fresh = !size || *size == 0;
  if (!fresh) {
    std::string head;
    char last = '\n';
    if (!PeekFile(path, head, last, error)) return false;
    if (!StartsWithHeader(head)) {
      error = NotHistoryText(path) + "; nothing was added to it";
      return false;
    }
    if (*size + block.size() > rotateBytes) {
      const std::vector<std::string> rotated = RotatedHistoryFiles(path);
      unsigned long next = 1;
      if (!rotated.empty()) {
        const std::string& newest = rotated.back();
        next = std::stoul(newest.substr(newest.rfind('.') + 1)) + 1;
      }
      const std::string older = path + "." + std::to_string(next);
      if (FileExists(older) || !ReplaceFileWith(path, older, error)) {
        // Rotation failed: the file grows on, nothing is lost.
        error.clear();
        if (last != '\n') block.insert(0, 1, '\n');
      } else {
        fresh = true;
      }
    } else if (last != '\n') {
      // A cut left the last line open: end it, so the new lines stay whole.
      block.insert(0, 1, '\n');
    }
  }
  if (fresh) block.insert(0, std::string(kHistoryHeader) + "\n");
  return AppendToFile(path, block, error);
}

bool HistoryLog::ParseLine(const char* text, std::size_t start, std::size_t end,
                           std::string& decoded, Entry& e) {
  const std::string_view s(text, end);
  std::size_t i = start;
  auto skipSpace = [&] {
    while (i < end && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
  };
  std::memset(&e, 0, sizeof e);
  bool seen[kColumns] = {};
  int next = 0;
  skipSpace();
  if (i >= end || s[i] != '{') return false;
  ++i;
  skipSpace();
  if (i < end && s[i] == '}') return false;
  for (;;) {
    skipSpace();
    if (i >= end || s[i] != '"') return false;
    const std::size_t keyStart = ++i;
    while (i < end && s[i] != '"' && s[i] != '\\') ++i;
    if (i >= end || s[i] != '"') return false;
    const std::string_view key = s.substr(keyStart, i - keyStart);
    ++i;
    skipSpace();
    if (i >= end || s[i] != ':') return false;
    ++i;
    skipSpace();
    if (i >= end) return false;
    // Our own lines name the columns in order: the next one is tried first.
    int column = next < kColumns && key == kKeys[next] ? next : -1;
    for (int c = 0; column < 0 && c < kColumns; ++c)
      if (key == kKeys[c]) column = c;
    next = column + 1;
    if (s[i] == '"') {
      const std::size_t valueStart = ++i;
      while (i < end && s[i] != '"' && s[i] != '\\' && static_cast<unsigned char>(s[i]) >= 0x20)
        ++i;
      if (i >= end) return false;
      std::uint32_t off, len;
      if (s[i] == '"') {
        off = static_cast<std::uint32_t>(valueStart);
        len = static_cast<std::uint32_t>(i - valueStart);
      } else {
        // Escapes: the decoded text goes apart.
        const std::size_t decodedStart = decoded.size();
        decoded.append(s.substr(valueStart, i - valueStart));
        while (i < end && s[i] != '"') {
          const auto c = static_cast<unsigned char>(s[i]);
          if (c < 0x20) {
            decoded.resize(decodedStart);
            return false;
          }
          if (c != '\\') {
            decoded += s[i++];
            continue;
          }
          if (i + 1 >= end) {
            decoded.resize(decodedStart);
            return false;
          }
          const char esc = s[i + 1];
          i += 2;
          switch (esc) {
            case '"':
              decoded += '"';
              break;
            case '\\':
              decoded += '\\';
              break;
            case '/':
              decoded += '/';
              break;
            case 'b':
              decoded += '\b';
              break;
            case 'f':
              decoded += '\f';
              break;
            case 'n':
              decoded += '\n';
              break;
            case 'r':
              decoded += '\r';
              break;
            case 't':
              decoded += '\t';
              break;
            case 'u': {
              std::uint32_t cp = 0;
              if (!ReadHex4(s, i, cp)) {
                decoded.resize(decodedStart);
                return false;
              }
              i += 4;
              std::uint32_t low = 0;
              if (cp >= 0xD800 && cp < 0xDC00 && i + 6 <= end && s[i] == '\\' && s[i + 1] == 'u' &&
                  ReadHex4(s, i + 2, low) && low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
              } else if (cp >= 0xD800 && cp < 0xE000) {
                cp = 0xFFFD;  // a lone surrogate
              }
              AppendUtf8(decoded, cp);
              break;
            }
            default:
              decoded.resize(decodedStart);
              return false;
          }
        }
        if (i >= end || decoded.size() > kMaxHistoryBytes) {
          decoded.resize(decodedStart);
          return false;
        }
        off = static_cast<std::uint32_t>(decodedStart) | 0x80000000u;
        len = static_cast<std::uint32_t>(decoded.size() - decodedStart);
      }
      ++i;  // the closing quote
      if (column >= 0) {
        e.off[column] = off;
        e.len[column] = len;
        seen[column] = true;
      }
    } else {
      // true, false, null or a number
      const std::size_t valueStart = i;
      while (i < end && s[i] != ',' && s[i] != '}' && s[i] != ' ') ++i;
      const std::string_view value = s.substr(valueStart, i - valueStart);
      if (value.empty()) return false;
      if (key == "takenOver") e.takenOver = value == "true";
    }
    skipSpace();
    if (i >= end) return false;
    if (s[i] == ',') {
      ++i;
      continue;
    }
    if (s[i] != '}') return false;
    ++i;
    skipSpace();
    if (i != end) return false;
    break;
  }
  return seen[Time] && seen[Account] && seen[Action];
}

namespace {

// One file of the history: where its bytes go in the common block, and what its lines hold.
struct FilePart {
  enum class State { Ok, Missing, NotHistory, ReadError };
  std::string path;
  std::size_t base = 0;      // where its bytes go
  std::size_t capacity = 0;  // room there
  bool last = false;
  State state = State::Ok;
  std::string error;
  std::size_t bodyStart = 0;  // its first line after the header, in the block
  std::size_t stop = 0;       // the end of its bytes, in the block
  std::size_t lines = 0;      // after the header: at most as many entries
  std::size_t first = 0;      // where its entries go
  std::size_t count = 0;
  std::string decoded;  // its entries' escaped texts, offsets from 0
  int badLines = 0;
  std::vector<std::string> badPlaces;
  bool torn = false;
};

// The live file may grow while it is read: room for that much more.
constexpr std::size_t kGrowthRoom = 1u << 20;
constexpr std::size_t kMaxBadPlaces = 5;

bool Failed(const FilePart& part) {
  return part.state == FilePart::State::NotHistory || part.state == FilePart::State::ReadError;
}

// Reads the file into its place and counts its lines.
void ReadPart(FilePart& part, char* text) {
  std::FILE* f = FOpenSharedForReading(part.path);
  if (!f) {
    if (errno == ENOENT) {
      part.state = FilePart::State::Missing;
    } else {
      part.state = FilePart::State::ReadError;
      part.error = "Cannot read " + part.path + ": " + std::strerror(errno);
    }
    return;
  }
  char* const begin = text + part.base;
  std::size_t got = std::fread(begin, 1, part.capacity, f);
  const bool failed = std::ferror(f) != 0;
  const int readErrno = errno;
  // Grown past its room: its last whole line is where this reading ends.
  const bool more = !failed && got == part.capacity && std::fgetc(f) != EOF;
  std::fclose(f);
  if (failed) {
    part.state = FilePart::State::ReadError;
    part.error = "Cannot read " + part.path + ": " + std::strerror(readErrno ? readErrno : EIO);
    return;
  }
  if (more) {
    while (got > 0 && begin[got - 1] != '\n') --got;
  }
  if (got == 0) return;

  const std::string_view content(begin, got);
  const std::size_t firstEnd = std::min(content.find('\n'), content.size());
  if (!StartsWithHeader(content.substr(0, firstEnd + 1))) {
    part.state = FilePart::State::NotHistory;
    part.error = NotHistoryText(part.path);
    return;
  }
  part.bodyStart = part.base + std::min(firstEnd + 1, got);
  part.stop = part.base + got;
  for (std::size_t pos = part.bodyStart; pos < part.stop; ++part.lines) {
    const void* nl = std::memchr(text + pos, '\n', part.stop - pos);
    if (!nl) break;
    pos = static_cast<std::size_t>(static_cast<const char*>(nl) - text) + 1;
  }
  if (part.stop > part.bodyStart && text[part.stop - 1] != '\n') ++part.lines;
}

// Parses the file's lines into entries[0, part.lines).
void ParsePart(FilePart& part, const char* text, HistoryLog::Entry* entries) {
  const std::string name = std::filesystem::path(part.path).filename().string();
  std::size_t pos = part.bodyStart;
  int lineNumber = 1;
  while (pos < part.stop) {
    ++lineNumber;
    const void* nl = std::memchr(text + pos, '\n', part.stop - pos);
    const bool closed = nl != nullptr;
    const std::size_t end =
        closed ? static_cast<std::size_t>(static_cast<const char*>(nl) - text) : part.stop;
    if (end > pos) {
      if (HistoryLog::ParseLine(text, pos, end, part.decoded, entries[part.count])) {
        ++part.count;
      } else if (part.last && !closed) {
        part.torn = true;
      } else {
        ++part.badLines;
        if (part.badPlaces.size() < kMaxBadPlaces)
          part.badPlaces.push_back(name + ":" + std::to_string(lineNumber));
      }
    }
    pos = closed ? end + 1 : end;
  }
}

// Runs work(part) for every part on as many threads as the machine has cores (this one among
// them), a part to a thread at a time. Anything thrown (memory) ends as that file's read error.
template <class Work>
void ForEachPart(std::vector<FilePart>& parts, std::size_t count, const Work& work) {
  std::atomic<std::size_t> next{0};
  const auto run = [&parts, &next, &work, count] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) {
      try {
        work(parts[i]);
      } catch (const std::exception& e) {
        parts[i].state = FilePart::State::ReadError;
        parts[i].error = "Cannot read " + parts[i].path + ": " + e.what();
      }
    }
  };
  if (count == 0) return;
  const std::size_t helpers =
      std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency())) - 1;
  std::vector<std::thread> threads;
  for (std::size_t k = 0; k < helpers; ++k) {
    try {
      threads.emplace_back(run);
    } catch (const std::system_error&) {
      break;  // fewer threads: the rest is done here
    }
  }
  run();
  for (std::thread& t : threads) t.join();
}

std::size_t FirstFailed(const std::vector<FilePart>& parts, std::size_t upto) {
  std::size_t i = 0;
  while (i < upto && !Failed(parts[i])) ++i;
  return i;
}

}  // namespace

HistoryLog::Status HistoryLog::Load(const std::string& path) {
  m_text.reset();
  m_entries.reset();
  m_entryCount = 0;
  m_decoded.clear();
  m_error.clear();
  m_badLines = 0;
  m_badPlaces.clear();
  m_torn = false;
  std::vector<std::string> files = RotatedHistoryFiles(path);
  files.push_back(path);
  std::vector<FilePart> parts(files.size());
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    FilePart& part = parts[i];
    part.path = std::move(files[i]);
    part.last = i + 1 == parts.size();
    const std::uint64_t size = FileSizeOf(part.path).value_or(0);
    if (total + size > kMaxHistoryBytes) {
      m_error = TooLargeText("history", total + size);
      return Status::ReadError;
    }
    const std::uint64_t room =
        part.last ? std::min<std::uint64_t>(size + kGrowthRoom, kMaxHistoryBytes - total) : size;
    part.base = static_cast<std::size_t>(total);
    part.capacity = static_cast<std::size_t>(room);
    total += room;
  }
  try {
    m_text.reset(new char[static_cast<std::size_t>(total) + 1]);
  } catch (const std::bad_alloc&) {
    m_error = TooLargeText("history", total);
    return Status::ReadError;
  }
  AdviseHugePages(m_text.get(), static_cast<std::size_t>(total) + 1);
  char* const text = m_text.get();

  // Read and count first, so that every file's entries go straight to their place.
  ForEachPart(parts, parts.size(), [text](FilePart& part) { ReadPart(part, text); });
  std::size_t upto = FirstFailed(parts, parts.size());
  std::size_t lines = 0;
  for (std::size_t i = 0; i < upto; ++i) {
    parts[i].first = lines;
    lines += parts[i].lines;
  }
  try {
    m_entries.reset(new Entry[lines]);
  } catch (const std::bad_alloc&) {
    m_error = TooLargeText("history", total);
    return Status::ReadError;
  }
  AdviseHugePages(m_entries.get(), lines * sizeof(Entry));
  Entry* const entries = m_entries.get();
  ForEachPart(parts, upto,
              [text, entries](FilePart& part) { ParsePart(part, text, entries + part.first); });
  upto = FirstFailed(parts, upto);

  // Lines that are no records leave gaps; texts with escapes move behind those before them.
  std::size_t decodedSize = 0;
  for (std::size_t i = 0; i < upto; ++i) decodedSize += parts[i].decoded.size();
  m_decoded.reserve(decodedSize);
  for (std::size_t i = 0; i < upto; ++i) {
    FilePart& part = parts[i];
    if (part.first != m_entryCount)
      std::memmove(entries + m_entryCount, entries + part.first, part.count * sizeof(Entry));
    if (!part.decoded.empty()) {
      const auto decodedBase = static_cast<std::uint32_t>(m_decoded.size());
      m_decoded += part.decoded;
      for (std::size_t k = m_entryCount; k < m_entryCount + part.count; ++k)
        for (std::uint32_t& off : entries[k].off)
          if (off & 0x80000000u) off += decodedBase;
    }
    m_entryCount += part.count;
    m_badLines += part.badLines;
    for (std::string& place : part.badPlaces)
      if (m_badPlaces.size() < kMaxBadPlaces) m_badPlaces.push_back(std::move(place));
    m_torn = m_torn || part.torn;
  }
  if (upto < parts.size()) {
    m_error = parts[upto].error;
    return parts[upto].state == FilePart::State::NotHistory ? Status::NotHistory
                                                            : Status::ReadError;
  }
  return Status::Ok;
}

}  // namespace kov
