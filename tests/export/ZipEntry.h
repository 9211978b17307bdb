#pragma once
// Reads one member of a zip file (an .xlsx) through its central directory, so tests can
// look at the sheet a workbook really holds.
#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace kovtest {

inline std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

inline std::optional<std::string> ZipEntry(const std::string& zipPath, const std::string& name) {
  std::ifstream in(zipPath, std::ios::binary);
  const std::string zip((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t eocd = zip.rfind(std::string("PK\x05\x06", 4));
  if (eocd == std::string::npos || eocd + 22 > zip.size()) return std::nullopt;
  const std::uint32_t entries = Le(zip, eocd + 10, 2);
  std::size_t at = Le(zip, eocd + 16, 4);
  for (std::uint32_t i = 0; i < entries; ++i) {
    if (at + 46 > zip.size() || zip.compare(at, 4, "PK\x01\x02", 4) != 0) return std::nullopt;
    const std::uint32_t method = Le(zip, at + 10, 2);
    const std::uint32_t packed = Le(zip, at + 20, 4);
    const std::uint32_t size = Le(zip, at + 24, 4);
    const std::uint32_t nameLen = Le(zip, at + 28, 2);
    const std::uint32_t extraLen = Le(zip, at + 30, 2);
    const std::uint32_t commentLen = Le(zip, at + 32, 2);
    const std::uint32_t local = Le(zip, at + 42, 4);
    if (zip.compare(at + 46, nameLen, name) == 0 && nameLen == name.size()) {
      const std::size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
      if (data + packed > zip.size()) return std::nullopt;
      if (method == 0) return zip.substr(data, packed);
      if (method != 8) return std::nullopt;
      std::string out(size, '\0');
      z_stream z{};
      if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return std::nullopt;
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
      z.avail_in = packed;
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = size;
      const int rc = inflate(&z, Z_FINISH);
      inflateEnd(&z);
      if (rc != Z_STREAM_END) return std::nullopt;
      return out;
    }
    at += 46 + nameLen + extraLen + commentLen;
  }
  return std::nullopt;
}

}  // namespace kovtest
