#pragma once
// Windows-1252 <-> Unicode. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same value, so every byte round-trips.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kov {

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

char32_t Cp1252ToUnicode(unsigned char byte);
// The byte for a code point, or nullopt when Windows-1252 cannot hold it.
std::optional<unsigned char> UnicodeToCp1252(char32_t cp);

std::string Cp1252ToUtf8(std::string_view bytes);
// Returns nullopt (and the first offending code point in *bad) when a character has no
// Windows-1252 byte or the input is not valid UTF-8.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8, char32_t* bad = nullptr);

// JSON string literal (with quotes) of Windows-1252 bytes, as UTF-8.
std::string JsonQuoteCp1252(std::string_view bytes);

}  // namespace kov
