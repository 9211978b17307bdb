#pragma once
// Passwords for new accounts, drawn from the operating system's random source so that they
// differ from one program start to the next.
#include <cstddef>
#include <functional>
#include <string>

namespace kov {

inline constexpr char kPasswordAlphabet[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890";
inline constexpr int kPasswordAlphabetSize = 62;

// `length` characters from kPasswordAlphabet, each drawn uniformly; at least one character
// for a length of 0 or less.
std::string GeneratePassword(int length);

// Fills `size` bytes with random bytes; false when the source failed.
using RandomSource = std::function<bool(unsigned char* out, std::size_t size)>;
// The operating system's source (getrandom or /dev/urandom; rand_s on Windows).
bool SystemRandomBytes(unsigned char* out, std::size_t size);
// Test seam: an empty function restores the system's source.
void SetRandomSource(RandomSource source);

}  // namespace kov
