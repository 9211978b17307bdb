#include "settings/IniFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "store/Files.h"
#include "store/LetterCase.h"

namespace kov {

namespace {

namespace fs = std::filesystem;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool IsSectionLine(const std::string& line, std::string& name) {
  std::size_t b = 0;
  while (b < line.size() && IsBlank(line[b])) ++b;
  if (b >= line.size() || line[b] != '[') return false;
  const std::size_t close = line.find(']', b + 1);
  name = Trim(line.substr(b + 1, close == std::string::npos ? std::string::npos : close - b - 1));
  return true;
}

// A comment line is kept but never taken for a key, even when it holds an "=".
bool IsKeyLine(const std::string& line, std::string& key, std::string& value) {
  std::size_t b = 0;
  while (b < line.size() && IsBlank(line[b])) ++b;
  if (b >= line.size() || line[b] == ';' || line[b] == '#' || line[b] == '[') return false;
  const std::size_t eq = line.find('=', b);
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(b, eq - b));
  value = Trim(line.substr(eq + 1));
  return !key.empty();
}

bool HoldsLineBreak(const std::string& s) {
  return s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

std::string ErrnoText(int err) { return std::strerror(err); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

IniFile::IniFile(std::string path) : m_path(std::move(path)) {
  std::string bytes;
  if (!ReadAllBytes(m_path, bytes)) {
    const int err = errno;
    std::error_code ec;
    if (fs::exists(fs::path(m_path), ec) || (err != ENOENT && err != ENOTDIR))
      m_loadError = "Cannot read " + m_path + ": " + ErrnoText(err);
    return;
  }
  Parse(bytes);
}

void IniFile::Parse(const std::string& bytes) {
  m_lines.clear();
  const std::size_t end = std::min(bytes.find('\0'), bytes.size());
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < end) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      m_lines.emplace_back(bytes, start, i - start);
      if (c == '\r' && i + 1 < end && bytes[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  if (start < end) m_lines.emplace_back(bytes, start, end - start);
}

std::string IniFile::Serialize() const {
  std::string out;
  for (const std::string& line : m_lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

IniFile::Location IniFile::Find(const std::string& section, const std::string& key) const {
  Location loc;
  std::string name;
  std::string k;
  std::string v;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    if (IsSectionLine(m_lines[i], name)) {
      if (loc.sectionLine != npos) return loc;
      if (EqualsIgnoringAsciiCase(name, section)) {
        loc.sectionLine = i;
        loc.sectionEnd = i + 1;
      }
      continue;
    }
    if (loc.sectionLine == npos) continue;
    loc.sectionEnd = i + 1;
    if (loc.keyLine == npos && IsKeyLine(m_lines[i], k, v) && EqualsIgnoringAsciiCase(k, key))
      loc.keyLine = i;
  }
  return loc;
}

bool IniFile::HasKey(const std::string& section, const std::string& key) const {
  return Find(section, key).keyLine != npos;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  const Location loc = Find(section, key);
  if (loc.keyLine == npos) return defaultValue;
  std::string k;
  std::string v;
  IsKeyLine(m_lines[loc.keyLine], k, v);
  return v;
}

bool IniFile::ParseInteger(const std::string& text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int d =
        hex ? HexDigit(text[i]) : ((text[i] >= '0' && text[i] <= '9') ? text[i] - '0' : -1);
    if (d < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    // Hexadecimal spells the 32 bits, so $FFFFFFFF is -1.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative) bits = 0u - bits;
    value = static_cast<std::int32_t>(bits);
    return true;
  }
  if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull) return false;
  const std::int64_t signedValue =
      negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  value = static_cast<std::int32_t>(signedValue);
  return true;
}

std::int32_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                                  std::int32_t defaultValue) const {
  const Location loc = Find(section, key);
  if (loc.keyLine == npos) return defaultValue;
  std::int32_t value = 0;
  return ParseInteger(ReadString(section, key, std::string()), value) ? value : defaultValue;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value) || key.empty() ||
      key.find('=') != std::string::npos || section.find(']') != std::string::npos)
    return false;
  const Location loc = Find(section, key);
  if (loc.keyLine != npos) {
    std::string k;
    std::string v;
    IsKeyLine(m_lines[loc.keyLine], k, v);
    m_lines[loc.keyLine] = k + "=" + value;
    return true;
  }
  if (loc.sectionLine != npos) {
    // After the section's last non-blank line, so the blank line before the next section stays.
    std::size_t at = loc.sectionLine + 1;
    for (std::size_t i = loc.sectionLine + 1; i < loc.sectionEnd; ++i) {
      if (!Trim(m_lines[i]).empty()) at = i + 1;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), key + "=" + value);
    return true;
  }
  if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.emplace_back();
  m_lines.push_back("[" + section + "]");
  m_lines.push_back(key + "=" + value);
  return true;
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

IniFile::SaveResult IniFile::Save() const { return SaveAs(m_path); }

IniFile::SaveResult IniFile::SaveAs(const std::string& path) const {
  SaveResult result;
  if (path.empty()) {
    result.error = "No file name to write the settings to.";
    return result;
  }
  if (!m_loadError.empty() && path == m_path) {
    result.error = m_loadError + " (the file was not overwritten)";
    return result;
  }
  result.ok = WriteFileAtomically(path, Serialize(), result.error);
  return result;
}

}  // namespace kov
