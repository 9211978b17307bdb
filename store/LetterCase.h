#pragma once
// Letter case, in one place. The server's words (levels, keys, paths, "REMOTEADMIN") are
// compared in ASCII; text the operator reads and searches (names, the save file's keys) in
// Windows-1252, whose Latin letters have cases too.
#include <array>
#include <string_view>

namespace kov {

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}
// `upperWord` is upper case already. Upper-casing a Windows-1252 letter never yields an
// ASCII one, so ASCII is enough for ASCII words.
constexpr bool EqualsUpperAscii(std::string_view text, std::string_view upperWord) {
  if (text.size() != upperWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (AsciiUpper(text[i]) != upperWord[i]) return false;
  return true;
}
constexpr bool ContainsUpperAscii(std::string_view text, std::string_view upperWord) {
  if (upperWord.size() > text.size()) return false;
  for (std::size_t i = 0; i + upperWord.size() <= text.size(); ++i)
    if (EqualsUpperAscii(text.substr(i, upperWord.size()), upperWord)) return true;
  return false;
}

namespace detail {
// Windows-1252 case: ASCII, the Latin-1 letters (but the multiplication and division signs)
// and the pairs Š/š, Œ/œ, Ž/ž, Ÿ/ÿ. `toUpper` false gives the lower case.
constexpr std::array<unsigned char, 256> Cp1252CaseTable(bool toUpper) {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  auto pair = [&](int upper, int lower) {
    if (toUpper)
      t[lower] = static_cast<unsigned char>(upper);
    else
      t[upper] = static_cast<unsigned char>(lower);
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) pair(c, c + 32);  // 0xD7 and 0xF7: multiplication and division signs
  pair(0x8A, 0x9A);
  pair(0x8C, 0x9C);
  pair(0x8E, 0x9E);
  pair(0x9F, 0xFF);
  return t;
}
}  // namespace detail

inline constexpr std::array<unsigned char, 256> kCp1252Upper = detail::Cp1252CaseTable(true);
inline constexpr std::array<unsigned char, 256> kCp1252Lower = detail::Cp1252CaseTable(false);
inline unsigned char Cp1252Upper(char c) { return kCp1252Upper[static_cast<unsigned char>(c)]; }
inline unsigned char Cp1252Lower(char c) { return kCp1252Lower[static_cast<unsigned char>(c)]; }

}  // namespace kov
