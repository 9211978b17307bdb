#include "store/ScriptSyntax.h"

#include <cstring>

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
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
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
  if (c >= n)
    m_pos = n;
  else if (base[c] == '\r' && c + 1 < n && base[c + 1] == '\n')
    m_pos = c + 2;
  else
    m_pos = c + 1;
  return true;
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
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
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

}  // namespace kov
