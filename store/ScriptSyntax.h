#pragma once
// The account script syntax shared by the server's account file and the update file.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kov {

// Splits text into lines at CR, LF or CR LF; the last line needs no line end.
class LineSplitter {
 public:
  explicit LineSplitter(std::string_view text) : m_text(text) {}
  bool Next(std::string_view& line);
  size_t Offset() const { return m_pos; }

 private:
  std::string_view m_text;
  size_t m_pos = 0;
};

// The account name of a section line "[name]": without the first and the last character.
inline std::string_view SectionName(std::string_view line) {
  return line.size() >= 2 ? line.substr(1, line.size() - 2) : std::string_view();
}
bool IsEofName(std::string_view name);  // "EOF" in any letter case

// The key line test: the line begins with the key exactly; the value follows one more
// character (the separator, normally "=", not tested).
inline bool KeyValue(std::string_view line, std::string_view key, std::string_view& value) {
  if (line.size() < key.size() || line.compare(0, key.size(), key) != 0) return false;
  // Past the end of the line the value is empty, but still points into the line.
  value = line.size() > key.size() ? line.substr(key.size() + 1) : line.substr(line.size());
  return true;
}

// Integer as the toolkit's StrToInt reads it: leading blanks, optional sign, decimal digits,
// or "$"/"0x" hexadecimal; nothing else, and within 32 bits.
std::optional<std::int32_t> ParseInteger(std::string_view text);

constexpr const char* kEofPasswordWarning = "WARNING [EOF] PASSWORT";

}  // namespace kov
