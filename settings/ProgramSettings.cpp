#include "settings/ProgramSettings.h"

#include <algorithm>

namespace kov {

namespace {
const char* const kWindow = "WINDOW";
const char* const kSettings = "SETTINGS";
const char* const kColumns = "COLUMNS";
}  // namespace

void ProgramSettings::LoadSettings(const IniFile& ini) {
  LEFT = ini.ReadInteger(kWindow, "LEFT", kDefaultLeft);
  TOP = ini.ReadInteger(kWindow, "TOP", kDefaultTop);
  HEIGHT = ini.ReadInteger(kWindow, "HEIGHT", kDefaultHeight);
  WIDTH = ini.ReadInteger(kWindow, "WIDTH", kDefaultWidth);
  BoundsRead = ini.HasKey(kWindow, "WIDTH") || ini.HasKey(kWindow, "HEIGHT");
  VORNEXDIR = ini.ReadString(kSettings, "VORNEXDIR", "");
  ACCOUNTDIR = AppendPathSeparator(ini.ReadString(kSettings, "ACCOUNTDIR", ""));
  SAVEDIR = AppendPathSeparator(ini.ReadString(kSettings, "SAVEDIR", ""));
  SHOWLOG = ini.ReadBool(kSettings, "SHOWLOG", kDefaultShowLog);
  LOGH = ini.ReadInteger(kSettings, "LOGH", kDefaultLogHeight);
  LANG = ini.ReadInteger(kSettings, "LANG", 0);
  ACCAUTOUPDATE = ini.ReadBool(kSettings, "ACCAUTOUPDATE", false);
  TAKEOVERWAIT =
      std::clamp(ini.ReadInteger(kSettings, "TAKEOVERWAIT", kDefaultTakeOverWait), 0, 3600);
  ShownColumns = ini.ReadString(kColumns, "SHOWN", "");
}

bool ProgramSettings::SaveSettings(IniFile& ini) const {
  bool ok = true;
  ok &= ini.WriteInteger(kWindow, "LEFT", LEFT);
  ok &= ini.WriteInteger(kWindow, "TOP", TOP);
  ok &= ini.WriteInteger(kWindow, "HEIGHT", HEIGHT);
  ok &= ini.WriteInteger(kWindow, "WIDTH", WIDTH);
  ok &= ini.WriteString(kSettings, "VORNEXDIR", VORNEXDIR);
  ok &= ini.WriteString(kSettings, "ACCOUNTDIR", ACCOUNTDIR);
  ok &= ini.WriteString(kSettings, "SAVEDIR", SAVEDIR);
  ok &= ini.WriteBool(kSettings, "SHOWLOG", SHOWLOG);
  ok &= ini.WriteInteger(kSettings, "LOGH", LOGH);
  ok &= ini.WriteInteger(kSettings, "LANG", LANG);
  ok &= ini.WriteBool(kSettings, "ACCAUTOUPDATE", ACCAUTOUPDATE);
  if (TAKEOVERWAIT != kDefaultTakeOverWait || ini.HasKey(kSettings, "TAKEOVERWAIT"))
    ok &= ini.WriteInteger(kSettings, "TAKEOVERWAIT", TAKEOVERWAIT);
  if (!ShownColumns.empty() || ini.HasKey(kColumns, "SHOWN"))
    ok &= ini.WriteString(kColumns, "SHOWN", ShownColumns);
  return ok;
}

std::string SettingsFilePath(const std::string& programFolder) {
  if (programFolder.empty()) return "kov.ini";
  return AppendPathSeparator(programFolder) + "kov.ini";
}

ProgramSettings LoadSettingsFile(const std::string& path) {
  ProgramSettings settings;
  settings.LoadSettings(IniFile(path));
  return settings;
}

IniFile::SaveResult SaveSettingsFile(const std::string& path, const ProgramSettings& settings) {
  IniFile ini(path);
  if (!settings.SaveSettings(ini)) {
    IniFile::SaveResult result;
    result.error = "A setting holds a line break and cannot be stored in " + path + ".";
    return result;
  }
  return ini.Save();
}

}  // namespace kov
