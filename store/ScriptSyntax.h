#pragma once
// The account script syntax shared by the server's account file and the update file.
#include <cstdint>
#include <functional>
#include <memory>
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

// A file's bytes, cut at the first NUL byte.
struct FileBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;  // text size (up to the first NUL)
};
enum class FileReadStatus { Ok, Missing, Error };
FileReadStatus ReadWholeFile(const std::string& path, FileBytes& out, std::string* error = nullptr);
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Size of a file, or nullopt when there is none at the path.
std::optional<std::uint64_t> FileSizeOf(const std::string& path);

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

// Calendar date from a last-connect text: characters 9-10 day, 6-7 month, 1-4 year.
struct Date {
  int year, month, day;
};
std::optional<Date> ParseLastConnectDate(std::string_view text);
std::int64_t DaysFromCivil(int y, int m, int d);

// "Now" for the day counter: a day number (DaysFromCivil) and seconds since midnight.
struct Clock {
  std::int64_t day = 0;
  int secondsOfDay = 0;
  static Clock Now();  // local time
  static std::optional<Clock> FromIso(std::string_view yyyy_mm_dd);  // at midnight
};
// Whole days between the date (at midnight) and now, absolute.
std::int32_t DaysSince(const Date& d, const Clock& now);

constexpr const char* kEofPasswordWarning = "WARNING [EOF] PASSWORT";

}  // namespace kov
