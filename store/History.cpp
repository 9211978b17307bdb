#include "store/History.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "store/Files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace kov {

namespace {

constexpr const char* kKeys[HistoryLog::kColumns] = {"time",   "user",  "shard", "account",
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

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
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

bool HistoryLog::ParseLine(std::size_t start, std::size_t end, Entry& e) {
  const std::string_view s(m_text.data(), end);
  std::size_t i = start;
  auto skipSpace = [&] {
    while (i < end && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
  };
  std::memset(&e, 0, sizeof e);
  bool seen[kColumns] = {};
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
    int column = -1;
    for (int c = 0; c < kColumns; ++c)
      if (key == kKeys[c]) column = c;
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
        const std::size_t decodedStart = m_decoded.size();
        m_decoded.append(s.substr(valueStart, i - valueStart));
        while (i < end && s[i] != '"') {
          const auto c = static_cast<unsigned char>(s[i]);
          if (c < 0x20) {
            m_decoded.resize(decodedStart);
            return false;
          }
          if (c != '\\') {
            m_decoded += s[i++];
            continue;
          }
          if (i + 1 >= end) {
            m_decoded.resize(decodedStart);
            return false;
          }
          const char esc = s[i + 1];
          i += 2;
          switch (esc) {
            case '"':
              m_decoded += '"';
              break;
            case '\\':
              m_decoded += '\\';
              break;
            case '/':
              m_decoded += '/';
              break;
            case 'b':
              m_decoded += '\b';
              break;
            case 'f':
              m_decoded += '\f';
              break;
            case 'n':
              m_decoded += '\n';
              break;
            case 'r':
              m_decoded += '\r';
              break;
            case 't':
              m_decoded += '\t';
              break;
            case 'u': {
              std::uint32_t cp = 0;
              if (!ReadHex4(s, i, cp)) {
                m_decoded.resize(decodedStart);
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
              AppendUtf8(m_decoded, cp);
              break;
            }
            default:
              m_decoded.resize(decodedStart);
              return false;
          }
        }
        if (i >= end || m_decoded.size() > kMaxHistoryBytes) {
          m_decoded.resize(decodedStart);
          return false;
        }
        off = static_cast<std::uint32_t>(decodedStart) | 0x80000000u;
        len = static_cast<std::uint32_t>(m_decoded.size() - decodedStart);
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

bool HistoryLog::LoadFile(const std::string& path, bool last) {
  FileBytes bytes;
  std::string error;
  switch (ReadWholeFile(path, bytes, &error)) {
    case FileReadStatus::Ok:
      break;
    case FileReadStatus::Missing:
      return true;
    case FileReadStatus::TooLarge:
    case FileReadStatus::Error:
      m_error = error.empty() ? "Cannot read " + path : error;
      return false;
  }
  if (bytes.size == 0) return true;
  if (m_text.size() + bytes.size > kMaxHistoryBytes) {
    m_error = TooLargeText("the history", m_text.size() + bytes.size);
    return false;
  }
  const std::string_view content(bytes.data.get(), bytes.size);
  const std::size_t firstEnd = std::min(content.find('\n'), content.size());
  if (!StartsWithHeader(content.substr(0, firstEnd + 1))) {
    m_error = NotHistoryText(path);
    m_notHistory = true;
    return false;
  }
  const std::size_t base = m_text.size();
  m_text.append(content);
  const std::string name = std::filesystem::path(path).filename().string();
  std::size_t pos = base + std::min(firstEnd + 1, content.size());
  int lineNumber = 1;
  while (pos < m_text.size()) {
    ++lineNumber;
    const std::size_t nl = m_text.find('\n', pos);
    const bool closed = nl != std::string::npos;
    const std::size_t end = closed ? nl : m_text.size();
    if (end > pos) {
      Entry e;
      if (ParseLine(pos, end, e)) {
        m_entries.push_back(e);
      } else if (last && !closed) {
        m_torn = true;
      } else {
        ++m_badLines;
        if (m_badPlaces.size() < 5) m_badPlaces.push_back(name + ":" + std::to_string(lineNumber));
      }
    }
    pos = closed ? nl + 1 : end;
  }
  return true;
}

HistoryLog::Status HistoryLog::Load(const std::string& path) {
  m_text.clear();
  m_decoded.clear();
  m_entries.clear();
  m_error.clear();
  m_badLines = 0;
  m_badPlaces.clear();
  m_torn = false;
  m_notHistory = false;
  std::vector<std::string> files = RotatedHistoryFiles(path);
  files.push_back(path);
  // One allocation for all files: regrowing would copy hundreds of megabytes.
  std::uint64_t total = 0;
  for (const std::string& f : files) total += FileSizeOf(f).value_or(0);
  if (total <= kMaxHistoryBytes) {
    m_text.reserve(static_cast<std::size_t>(total));
    m_entries.reserve(static_cast<std::size_t>(total / 160));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!LoadFile(files[i], i + 1 == files.size()))
      return m_notHistory ? Status::NotHistory : Status::ReadError;
  }
  return Status::Ok;
}

}  // namespace kov
