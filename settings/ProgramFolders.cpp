#include "settings/ProgramFolders.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kov {

namespace fs = std::filesystem;

namespace {
constexpr const char* kAppFolderName = "vornex-account-manager";

bool HasLanguageFiles(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / "english.xml", ec) ||
         fs::is_regular_file(dir / "german.xml", ec);
}
}  // namespace

bool IsWritableFolder(const std::string& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return false;
  // A folder without any write permission counts as read-only even for an administrator.
  const auto perms = fs::status(dir, ec).permissions();
  using P = fs::perms;
  if (!ec && (perms & (P::owner_write | P::group_write | P::others_write)) == P::none) return false;
#ifdef _WIN32
  // _access() looks only at the read-only attribute, which "Program Files" does not have;
  // whether the user may write there is for the folder's access list to say, so we try.
  const fs::path probe =
      fs::path(dir) / ("kov-write-test-" + std::to_string(GetCurrentProcessId()) + ".tmp");
  const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
#else
  return ::access(dir.c_str(), W_OK) == 0;
#endif
}

std::string PerUserFolder() {
#ifdef _WIN32
  const char* base = std::getenv("APPDATA");
  fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
  return (root / "Vornex Account Manager").string();
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  fs::path root;
  if (xdg && *xdg == '/') {
    root = xdg;
  } else {
    const char* home = std::getenv("HOME");
    root = fs::path(home && *home ? home : "/tmp") / ".config";
  }
  return (root / kAppFolderName).string();
#endif
}

ProgramFolders ResolveProgramFolders(const std::string& exeDir,
                                     const std::optional<std::string>& homeOverride) {
  ProgramFolders f;
  if (homeOverride) {
    f.home = f.languages = *homeOverride;
    return f;
  }
  // An installed program (its language files in the prefix's share folder) keeps its
  // settings per user even when the administrator could write the bin folder.
  const fs::path share = fs::path(exeDir).parent_path() / "share" / kAppFolderName / "lang";
  if (IsWritableFolder(exeDir) && !HasLanguageFiles(share)) {
    f.home = f.languages = exeDir;
    return f;
  }
  f.perUser = true;
  f.home = PerUserFolder();
  std::error_code ec;
  fs::create_directories(f.home, ec);
  if (HasLanguageFiles(f.home))
    f.languages = f.home;
  else if (HasLanguageFiles(share))
    f.languages = share.lexically_normal().string();
  else
    f.languages = exeDir;
  return f;
}

}  // namespace kov
