#include "store/Date.h"

#include <ctime>
#include <string>

namespace kov {

std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy =
      (153 * static_cast<unsigned>(m + (m > 2 ? -3 : 9)) + 2) / 5 + static_cast<unsigned>(d) - 1;
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
std::tm LocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return tm;
}
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
    const int now = LocalNow().tm_year + 1900;
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
  const std::tm tm = LocalNow();
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
