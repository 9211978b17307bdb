// The backup decoder takes any stream; and any data survives an encode-decode round trip.
#include "backup/Huffman.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  if (HuffmanDecode(bytes, decoded) != HuffmanStatus::Ok) std::abort();

  std::string stream;
  if (HuffmanEncode(bytes, stream) != HuffmanStatus::Ok) std::abort();
  std::string back;
  if (HuffmanDecode(stream, back) != HuffmanStatus::Ok || back != bytes) std::abort();
  return 0;
}
