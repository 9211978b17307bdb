// The backup decoder takes any stream; and any data survives an encode-decode round trip.
#include "backup/Huffman.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  if (HuffmanDecode(bytes, decoded) != HuffmanStatus::Ok) std::abort();

  // Into the caller's memory, sized from the header as the restore view does: the same bytes.
  std::int64_t symbols = 0;
  if (size >= 8) std::memcpy(&symbols, data, 8);
  if (symbols >= 0 && static_cast<std::uint64_t>(symbols) <= std::uint64_t{size} * 8 + 8) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(symbols) + 1);
    MemoryInput input(bytes);
    THuffmanDecoder decoder;
    decoder.SetInput(&input);
    decoder.SetOutputBuffer(buffer.data(), static_cast<std::size_t>(symbols));
    if (decoder.Decode() != HuffmanStatus::Ok ||
        std::string_view(reinterpret_cast<const char*>(buffer.data()),
                         static_cast<std::size_t>(decoder.SymbolsWritten())) != decoded)
      std::abort();
  }

  std::string stream;
  if (HuffmanEncode(bytes, stream) != HuffmanStatus::Ok) std::abort();
  std::string back;
  if (HuffmanDecode(stream, back) != HuffmanStatus::Ok || back != bytes) std::abort();
  return 0;
}
