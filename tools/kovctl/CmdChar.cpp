// kovctl char: what the character info window shows for a uid, as JSON.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Command.h"
#include "chars/CharacterFile.h"
#include "store/Cp1252.h"

namespace {

constexpr const char* kUsage = "char SAVEDIR UID";

int Char(const kovctl::Args& args) {
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: kovctl %s\n", kUsage);
    return 2;
  }
  const std::filesystem::path file = std::filesystem::path(args[0]) / kov::kCharacterFileName;
  const std::string& uid = args[1];
  const kov::CharacterReadResult r = kov::ReadCharacterFile(file, uid);
  switch (r.status) {
    case kov::CharacterFileStatus::FileMissing:
      std::fprintf(stderr, "kovctl char: %s: no character save file\n", file.string().c_str());
      return 2;
    case kov::CharacterFileStatus::ReadError:
      std::fprintf(stderr, "kovctl char: %s: %s\n", file.string().c_str(), r.error.c_str());
      return 1;
    case kov::CharacterFileStatus::Found:
    case kov::CharacterFileStatus::UidNotFound:
      break;  // an unknown uid shows an empty record, as the window does
  }

  std::string out = "{\"uid\":" + kov::JsonQuoteCp1252(uid) + ",\"general\":{";
  for (std::size_t i = 0; i < kov::kCharacterGeneralCount; ++i) {
    if (i) out += ',';
    out += kov::JsonQuoteCp1252(kov::kCharacterGeneralCaptions[i]);
    out += ':';
    out += kov::JsonQuoteCp1252(r.record.general[i]);
  }
  out += "},\"skills\":[";
  for (std::size_t i = 0; i < r.record.skills.size(); ++i) {
    if (i) out += ',';
    out += '[' + kov::JsonQuoteCp1252(r.record.skills[i].first) + ',' +
           kov::JsonQuoteCp1252(r.record.skills[i].second) + ']';
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

kovctl::Register reg("char", kUsage, Char);

}  // namespace
