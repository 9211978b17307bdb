#include "store/GeneratePassword.h"

#ifdef _WIN32
#define _CRT_RAND_S
#include <stdlib.h>
#else
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <random>

namespace kov {

namespace {

RandomSource& Source() {
  static RandomSource source;
  return source;
}

#ifndef _WIN32
bool ReadUrandom(unsigned char* out, std::size_t size) {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return done == size;
}
#endif

bool Fill(unsigned char* out, std::size_t size) {
  if (Source()) return Source()(out, size);
  return SystemRandomBytes(out, size);
}

}  // namespace

bool SystemRandomBytes(unsigned char* out, std::size_t size) {
#ifdef _WIN32
  for (std::size_t i = 0; i < size; ++i) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) return false;
    out[i] = static_cast<unsigned char>(value);
  }
  return true;
#else
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::getrandom(out + done, size - done, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ReadUrandom(out + done, size - done);
    done += static_cast<std::size_t>(n);
  }
  return true;
#endif
}

void SetRandomSource(RandomSource source) { Source() = std::move(source); }

std::string GeneratePassword(int length) {
  const std::size_t want = length < 1 ? 1 : static_cast<std::size_t>(length);
  std::string password;
  password.reserve(want);
  // 248 = 4 * 62: bytes at or above it are dropped so that every character is equally likely.
  constexpr unsigned kLimit = 4 * kPasswordAlphabetSize;
  unsigned char buffer[64];
  while (password.size() < want) {
    if (!Fill(buffer, sizeof buffer)) {
      // A system without a working random source: still never a fixed sequence.
      std::random_device device;
      for (auto& b : buffer) b = static_cast<unsigned char>(device());
    }
    for (unsigned char b : buffer) {
      if (b >= kLimit) continue;
      password += kPasswordAlphabet[b % kPasswordAlphabetSize];
      if (password.size() == want) break;
    }
  }
  return password;
}

}  // namespace kov
