#pragma once
// The hash the table finds names by: a few multiplications per 8 bytes, so hashing every
// name of a million-account file costs a few milliseconds of its reading. Never 0: the table
// keeps 0 for rows nobody can find (deleted, or without a name).
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kov::detail {

inline std::uint32_t NameHash(std::string_view s) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
  const char* p = s.data();
  size_t n = s.size();
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  if (n > 0) {
    std::uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
  }
  h ^= h >> 29;
  h *= 0x94D049BB133111EBull;
  h ^= h >> 32;
  const auto h32 = static_cast<std::uint32_t>(h);
  return h32 != 0 ? h32 : 1;
}

}  // namespace kov::detail
