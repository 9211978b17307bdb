#pragma once
// The hash the table finds names by: a few multiplications per 8 bytes, so hashing every
// name of a million-account file costs a few milliseconds of its reading. Never 0: the table
// keeps 0 for rows nobody can find (deleted, or without a name).
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kov::detail {

inline std::uint64_t NameHashMix(std::uint64_t h) {
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 31);
}

inline std::uint32_t NameHash(std::string_view s) {
  const char* p = s.data();
  const size_t n = s.size();
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  // Whole words only, the last one overlapping the one before: no copy of a variable length.
  if (n >= 8) {
    std::uint64_t w;
    const char* last = p + n - 8;
    for (; p < last; p += 8) {
      std::memcpy(&w, p, 8);
      h = NameHashMix(h ^ w);
    }
    std::memcpy(&w, last, 8);
    h = NameHashMix(h ^ w);
  } else if (n >= 4) {
    std::uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    h = NameHashMix(h ^ (lo | static_cast<std::uint64_t>(hi) << 32));
  } else if (n > 0) {
    const auto b = [p](size_t i) {
      return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i]));
    };
    h = NameHashMix(h ^ (b(0) | b(n / 2) << 8 | b(n - 1) << 16));
  }
  h ^= h >> 29;
  h *= 0x94D049BB133111EBull;
  h ^= h >> 32;
  const auto h32 = static_cast<std::uint32_t>(h);
  return h32 != 0 ? h32 : 1;
}

}  // namespace kov::detail
