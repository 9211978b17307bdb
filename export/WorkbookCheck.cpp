#include "export/WorkbookCheck.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

#include "store/Files.h"

namespace kov {

namespace {

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
  return v;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The root element's name: the first tag that is neither a declaration nor a comment.
std::string RootName(const std::string& head) {
  std::size_t at = 0;
  while ((at = head.find('<', at)) != std::string::npos) {
    if (at + 1 < head.size() && (head[at + 1] == '?' || head[at + 1] == '!')) {
      ++at;
      continue;
    }
    std::size_t end = at + 1;
    while (end < head.size() && head[end] != ' ' && head[end] != '>' && head[end] != '/' &&
           head[end] != '\r' && head[end] != '\n' && head[end] != '\t')
      ++end;
    return head.substr(at + 1, end - at - 1);
  }
  return {};
}

bool CheckMember(const std::string& zip, std::size_t central, std::string& error) {
  const std::uint32_t method = Le(zip, central + 10, 2);
  const std::uint32_t crc = Le(zip, central + 16, 4);
  const std::uint32_t packed = Le(zip, central + 20, 4);
  const std::uint32_t size = Le(zip, central + 24, 4);
  const std::uint32_t nameLen = Le(zip, central + 28, 2);
  const std::uint32_t local = Le(zip, central + 42, 4);
  const std::string name = zip.substr(central + 46, nameLen);
  if (local + 30 > zip.size() || zip.compare(local, 4, "PK\x03\x04", 4) != 0) {
    error = name + " is missing";
    return false;
  }
  const std::size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
  if (data + packed > zip.size() || (method != 0 && method != 8)) {
    error = name + " is damaged";
    return false;
  }
  const bool xml = EndsWith(name, ".xml") || EndsWith(name, ".rels");
  std::string head, tail;
  uLong sum = crc32(0, nullptr, 0);
  std::uint64_t total = 0;
  auto take = [&](const char* p, std::size_t n) {
    sum = crc32(sum, reinterpret_cast<const Bytef*>(p), static_cast<uInt>(n));
    total += n;
    if (!xml) return;
    if (head.size() < 512) head.append(p, std::min(n, 512 - head.size()));
    tail.append(p, n);
    if (tail.size() > 512) tail.erase(0, tail.size() - 256);
  };
  if (method == 0) {
    take(zip.data() + data, packed);
  } else {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
      error = "out of memory";
      return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
    z.avail_in = packed;
    std::vector<char> out(1 << 16);
    int rc = Z_OK;
    while (rc == Z_OK) {
      z.next_out = reinterpret_cast<Bytef*>(out.data());
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      take(out.data(), out.size() - z.avail_out);
      if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
      error = name + " is cut off";
      return false;
    }
  }
  if (total != size || sum != crc) {
    error = name + " is cut off";
    return false;
  }
  while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' '))
    tail.pop_back();
  if (xml && !EndsWith(tail, "</" + RootName(head) + ">")) {
    error = name + " is cut off";
    return false;
  }
  return true;
}

}  // namespace

bool CheckWorkbook(const std::string& path, std::string& error) {
  std::string zip;
  if (!ReadAllBytes(path, zip)) {
    error = "cannot be read back";
    return false;
  }
  const std::size_t eocd =
      zip.size() >= 22 ? zip.rfind(std::string("PK\x05\x06", 4)) : std::string::npos;
  if (eocd == std::string::npos || eocd + 22 > zip.size()) {
    error = "the workbook is incomplete";
    return false;
  }
  const std::uint32_t entries = Le(zip, eocd + 10, 2);
  std::size_t at = Le(zip, eocd + 16, 4);
  bool sheet = false;
  for (std::uint32_t i = 0; i < entries; ++i) {
    if (at + 46 > zip.size() || zip.compare(at, 4, "PK\x01\x02", 4) != 0) {
      error = "the workbook is incomplete";
      return false;
    }
    if (!CheckMember(zip, at, error)) return false;
    const std::uint32_t nameLen = Le(zip, at + 28, 2);
    if (zip.compare(at + 46, nameLen, "xl/worksheets/sheet1.xml") == 0 && nameLen == 24)
      sheet = true;
    at += 46 + nameLen + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
  }
  if (!sheet) {
    error = "the workbook has no worksheet";
    return false;
  }
  return true;
}

}  // namespace kov
