// The character save file, read in chunks of every size so that lines and the SERIAL key
// fall across chunk borders.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "chars/CharacterFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  if (size < 2) return 0;
  const std::size_t chunk = 1 + data[0] % 97;
  const std::size_t uidLength = data[1] % 12;
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string_view uid = rest.substr(0, uidLength);
  rest.remove_prefix(uid.size());
  const CharacterReadResult small = ReadCharacterText(rest, uid, chunk);
  const CharacterReadResult whole = ReadCharacterText(rest, uid, rest.size() + 1);
  // The chunk size must not change what is found.
  if (small.status != whole.status || !(small.record == whole.record)) std::abort();
  return 0;
}
