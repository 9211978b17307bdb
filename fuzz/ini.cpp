// kov.ini: any bytes parse; what is written back parses to the same profile.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kov;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  IniFile ini;
  ini.Parse(bytes);
  const std::string first = ini.Serialize();
  IniFile again;
  again.Parse(first);
  if (again.Serialize() != first) std::abort();
  for (const char* key : {"LANG", "VORNEXDIR", "ACCAUTOUPDATE", "Left", ""}) {
    const std::string value = ini.ReadString("Settings", key, "?");
    if (ini.HasKey("Settings", key) != again.HasKey("Settings", key)) std::abort();
    if (value != again.ReadString("Settings", key, "?")) std::abort();
    (void)ini.ReadInteger("Settings", key, -1);
  }
  // A write stays a single key and reads back; blanks around a value are not part of it.
  std::string value = bytes.substr(0, 16);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.erase(0, 1);
  if (ini.WriteString("Settings", "FuzzKey", value)) {
    IniFile written;
    written.Parse(ini.Serialize());
    if (written.ReadString("Settings", "FuzzKey", "?") != value) std::abort();
  }
  std::int32_t n = 0;
  (void)IniFile::ParseInteger(bytes, n);
  return 0;
}
