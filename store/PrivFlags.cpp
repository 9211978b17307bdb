#include "store/PrivFlags.h"

#include <cstdio>

namespace kov {

std::optional<std::uint32_t> ParsePrivFlags(std::string_view text) {
  if (text.size() < 2 || text[0] != '$') return std::nullopt;
  std::uint64_t value = 0;
  int significant = 0;
  for (char c : text.substr(1)) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return std::nullopt;
    if (significant > 0 || digit != 0) ++significant;
    if (significant > 8) return std::nullopt;
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return static_cast<std::uint32_t>(value);
}

std::string FormatPrivFlags(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%05X", static_cast<unsigned>(value));
  return buf;
}

}  // namespace kov
