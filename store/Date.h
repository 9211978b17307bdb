#pragma once
// Days: the server's last-connect dates and the clock the day counter counts up to.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kov {

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
  static Clock Now();                                                // local time
  static std::optional<Clock> FromIso(std::string_view yyyy_mm_dd);  // at midnight
};
// Whole days between the date (at midnight) and now, absolute.
std::int32_t DaysSince(const Date& d, const Clock& now);

}  // namespace kov
