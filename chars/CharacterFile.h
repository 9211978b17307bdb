#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kov {

inline constexpr const char* kCharacterFileName = "vornexchars.scp";
inline constexpr std::size_t kDefaultCharacterChunk = 256 * 1024;

// The "General" labels from top to bottom, captions without their colon.
inline constexpr std::size_t kCharacterGeneralCount = 16;
inline constexpr std::array<const char*, kCharacterGeneralCount> kCharacterGeneralCaptions = {
    "Account", "Create",     "Name", "Title", "Position", "Deaths", "Kills", "Food",
    "Home",    "SkillClass", "STR",  "DEX",   "INT",      "Hits",   "Stam",  "Mana"};

// One character as the info window shows it. Texts are the file's bytes (Windows-1252).
struct CharacterRecord {
  std::array<std::string, kCharacterGeneralCount> general;  // in caption order
  std::vector<std::pair<std::string, std::string>> skills;  // shown name and value, grid order

  bool operator==(const CharacterRecord&) const = default;
};

enum class CharacterFileStatus {
  Found,        // the uid's section was read
  UidNotFound,  // no line is exactly "SERIAL=" and the uid: the record stays empty
  FileMissing,  // nothing (or a folder) at the path
  ReadError,    // the file exists but could not be read; see error
};

struct CharacterReadResult {
  CharacterFileStatus status = CharacterFileStatus::FileMissing;
  CharacterRecord record;
  std::string error;
};

// Reads the section of the character whose "SERIAL=" line holds exactly uid (letter case
// ignored). The file is streamed in chunks of chunkSize bytes, never held whole: a save
// file can be hundreds of megabytes. A NUL byte ends the file's text.
CharacterReadResult ReadCharacterFile(const std::filesystem::path& file, std::string_view uid,
                                      std::size_t chunkSize = kDefaultCharacterChunk);
// The same over bytes already in memory.
CharacterReadResult ReadCharacterText(std::string_view text, std::string_view uid,
                                      std::size_t chunkSize = kDefaultCharacterChunk);

// Applies one line of a character's section to the record: the general keys and the skill
// keys matched by the beginning of the upper-cased line.
void ApplyCharacterLine(CharacterRecord& record, std::string_view line);

// Windows-1252 upper case of one byte (ASCII letters and the accented letters).
char UpperCp1252(char c);

}  // namespace kov
