#pragma once
// The flag text dbpriv: "$" and hexadecimal digits.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kov {

// "$" and one or more hexadecimal digits in either case, leading zeros allowed, the value
// within 32 bits; nullopt for anything else (empty, "$" alone, other characters, too big).
std::optional<std::uint32_t> ParsePrivFlags(std::string_view text);
// "$" and upper-case hexadecimal, at least five digits: 2 -> "$00002".
std::string FormatPrivFlags(std::uint32_t value);

}  // namespace kov
