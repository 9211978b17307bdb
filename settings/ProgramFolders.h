#pragma once
// Where kov.ini, the backups and the language files live. Beside the executable when that
// folder can be written; for an installed program (a read-only bin folder) a per-user
// folder holds kov.ini and backups, and the language files come from the installed share
// folder unless the per-user folder has its own. --home DIR overrides both.
#include <optional>
#include <string>

namespace kov {

struct ProgramFolders {
  std::string home;       // kov.ini and backups
  std::string languages;  // english.xml, german.xml
  bool perUser = false;   // home is the per-user folder (the executable's folder is read-only)
};

// `exeDir`: the executable's folder. `homeOverride`: the --home argument, if any.
ProgramFolders ResolveProgramFolders(const std::string& exeDir,
                                     const std::optional<std::string>& homeOverride);

// The platform's per-user application configuration folder for this program
// ($XDG_CONFIG_HOME or ~/.config, then "vornex-account-manager"; %APPDATA% on Windows).
std::string PerUserFolder();

bool IsWritableFolder(const std::string& dir);

}  // namespace kov
