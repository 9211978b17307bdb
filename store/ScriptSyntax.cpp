#include "store/ScriptSyntax.h"

#include "store/Files.h"
#include "store/MemoryAdvice.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kov {

namespace {
// Position of the first CR or LF in [p, end), or end. Lines are short (about 15 bytes), so
// one 16-byte compare usually finds the line end; a call to memchr per line costs more.
const char* FindLineEnd(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int mask =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
    p += 16;
  }
#endif
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}
}  // namespace

bool LineSplitter::Next(std::string_view& line) {
  const size_t n = m_text.size();
  if (m_pos >= n) return false;
  const char* base = m_text.data();
  const char* e = FindLineEnd(base + m_pos, base + n);
  const size_t c = static_cast<size_t>(e - base);
  line = std::string_view(base + m_pos, c - m_pos);
  if (c >= n) m_pos = n;
  else if (base[c] == '\r' && c + 1 < n && base[c + 1] == '\n') m_pos = c + 2;
  else m_pos = c + 1;
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FileSizeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

FileReadStatus ReadWholeFile(const std::string& path, FileBytes& out, std::string* error) {
  out = FileBytes{};
  std::FILE* f = FOpenSharedForReading(path);
  if (!f) {
    const int e = errno;
    if (error) *error = std::strerror(e);
    return e == ENOENT ? FileReadStatus::Missing : FileReadStatus::Error;
  }
  const FileVersion opened = VersionOf(f);
  struct stat st;
  size_t cap = 0;
  if (::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    cap = static_cast<size_t>(st.st_size);
  if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(f);
    if (error) *error = "is a folder";
    return FileReadStatus::Error;
  }
  // The file may grow or shrink between stat and read: read until EOF whatever the size.
  size_t size = 0;
  cap = cap + 1;
  std::unique_ptr<char[]> buf(new char[cap]);  // not zeroed: the pages stay untouched until read
  AdviseHugePages(buf.get(), cap);
  for (;;) {
    if (size == cap) {
      const size_t ncap = cap * 2;
      std::unique_ptr<char[]> nbuf(new char[ncap]);
      std::memcpy(nbuf.get(), buf.get(), size);
      buf = std::move(nbuf);
      cap = ncap;
    }
    const size_t got = std::fread(buf.get() + size, 1, cap - size, f);
    size += got;
    if (got == 0) break;
  }
  const bool failed = std::ferror(f) != 0;
  const bool changed = !failed && VersionOf(f) != opened;
  std::fclose(f);
  if (failed || changed) {
    if (error) *error = failed ? "read error" : ChangedWhileReadingText();
    return FileReadStatus::Error;
  }
  const void* nul = std::memchr(buf.get(), '\0', size);
  out.size = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buf.get()) : size;
  out.data = std::move(buf);
  return FileReadStatus::Ok;
}

bool IsEofName(std::string_view name) {
  return name.size() == 3 && (name[0] | 0x20) == 'e' && (name[1] | 0x20) == 'o' &&
         (name[2] | 0x20) == 'f';
}

std::optional<std::int32_t> ParseInteger(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    neg = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  std::uint64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFull) return std::nullopt;
  }
  if (base == 16) {
    // Hexadecimal covers the whole 32 bits, as the toolkit reads it.
    // Negated in unsigned arithmetic: "-$80000000" wraps to itself, as in the toolkit.
    const std::uint32_t bits = static_cast<std::uint32_t>(v);
    return static_cast<std::int32_t>(neg ? 0u - bits : bits);
  }
  if (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull) return std::nullopt;
  return neg ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v))
             : static_cast<std::int32_t>(v);
}

std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 +
                       static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

namespace {
// One number of the rebuilt "d.m.y" text: blanks, then 1 to 4 digits.
std::optional<int> DatePart(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i == s.size()) return std::nullopt;
  int v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  return v;
}
std::string_view Sub(std::string_view s, size_t from1, size_t count) {
  if (from1 - 1 >= s.size()) return {};
  return s.substr(from1 - 1, count);
}
bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
}  // namespace

std::optional<Date> ParseLastConnectDate(std::string_view text) {
  const std::string_view ys = Sub(text, 1, 4), ms = Sub(text, 6, 2), ds = Sub(text, 9, 2);
  auto y = DatePart(ys), m = DatePart(ms), d = DatePart(ds);
  if (!y || !m || !d) return std::nullopt;
  int year = *y;
  size_t digits = 0;
  for (char c : ys)
    if (c != ' ') ++digits;
  if (digits <= 2) {
    // Two-digit years fall in the 50-year window around the current year.
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    const int now = tm.tm_year + 1900;
    const int century = now / 100 * 100;
    year += century;
    if (year < now - 50) year += 100;
    if (year > now + 49) year -= 100;
  }
  if (year < 1 || year > 9999 || *m < 1 || *m > 12) return std::nullopt;
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int dim = kDays[*m - 1] + (*m == 2 && IsLeap(year) ? 1 : 0);
  if (*d < 1 || *d > dim) return std::nullopt;
  return Date{year, *m, *d};
}

Clock Clock::Now() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  Clock c;
  c.day = DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  c.secondsOfDay = tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
  return c;
}

std::optional<Clock> Clock::FromIso(std::string_view s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return std::nullopt;
  std::string t(s);
  t[4] = '/';
  t[7] = '/';
  auto d = ParseLastConnectDate(t);
  if (!d) return std::nullopt;
  Clock c;
  c.day = DaysFromCivil(d->year, d->month, d->day);
  return c;
}

std::int32_t DaysSince(const Date& d, const Clock& now) {
  const std::int64_t seconds =
      (now.day - DaysFromCivil(d.year, d.month, d.day)) * 86400 + now.secondsOfDay;
  const std::int64_t days = (seconds < 0 ? -seconds : seconds) / 86400;
  return static_cast<std::int32_t>(days);
}

}  // namespace kov
