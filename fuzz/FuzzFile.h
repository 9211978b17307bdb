#pragma once
// The readers take a path: each input goes through one scratch file per process.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kov::fuzz {

inline const std::string& ScratchPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/kov-fuzz-" + std::to_string(getpid()) +
           ".scp";
  }();
  return path;
}

inline const std::string& WriteScratch(const std::uint8_t* data, std::size_t size) {
  const std::string& path = ScratchPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

}  // namespace kov::fuzz
