#pragma once

#include <cstdint>
#include <string>

#include "settings/IniFile.h"
#include "store/Files.h"

namespace kov {

// The program's settings for the whole run, filled from kov.ini at start-up and written
// back at shutdown. The window bounds and the log pane live here too so that the window
// code need not touch the profile itself.
struct ProgramSettings {
  static constexpr std::int32_t kDefaultLeft = 238;
  static constexpr std::int32_t kDefaultTop = 122;
  static constexpr std::int32_t kDefaultHeight = 587;
  static constexpr std::int32_t kDefaultWidth = 605;
  static constexpr bool kDefaultShowLog = true;
  static constexpr std::int32_t kDefaultLogHeight = 100;

  std::string VORNEXDIR;
  std::string ACCOUNTDIR;
  std::string SAVEDIR;
  bool ChangesSaved = false;  // never stored in kov.ini
  std::int32_t LANG = 0;
  bool ACCAUTOUPDATE = false;
  // Seconds to wait after "A" for the server to take the update file over (0: not at all).
  static constexpr std::int32_t kDefaultTakeOverWait = 15;
  std::int32_t TAKEOVERWAIT = kDefaultTakeOverWait;

  std::int32_t LEFT = kDefaultLeft;
  std::int32_t TOP = kDefaultTop;
  std::int32_t HEIGHT = kDefaultHeight;
  std::int32_t WIDTH = kDefaultWidth;
  // Whether kov.ini held the window's size: without it the window picks its own at the first
  // start. Never stored.
  bool BoundsRead = false;
  bool SHOWLOG = kDefaultShowLog;
  std::int32_t LOGH = kDefaultLogHeight;
  // The grid's on-demand columns shown, by name, separated by commas: SHOWN in a section of
  // its own, [COLUMNS], so a profile without it keeps its sections as they are.
  std::string ShownColumns;

  // Reads the eleven keys (missing or garbage values give the defaults) and gives
  // ACCOUNTDIR and SAVEDIR their trailing separator. ChangesSaved is left alone.
  void LoadSettings(const IniFile& ini);
  // Writes the eleven keys in their fixed order, and TAKEOVERWAIT and [COLUMNS] SHOWN each
  // when it is in the file or not the default (a profile nobody changed stays byte for
  // byte); every other line stays.
  // False when a value could not be stored (a text holding a line break).
  bool SaveSettings(IniFile& ini) const;
};

// kov.ini in the given program folder.
std::string SettingsFilePath(const std::string& programFolder);

// Convenience for start-up and shutdown: load from / store into the file at path.
ProgramSettings LoadSettingsFile(const std::string& path);
IniFile::SaveResult SaveSettingsFile(const std::string& path, const ProgramSettings& settings);

}  // namespace kov
