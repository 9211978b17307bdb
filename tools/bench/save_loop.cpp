// Writes VornexAcct.scp over and over through WriteAccountUpdates, so that a test can kill it
// at any moment and check that the file is always one complete version.
//
//   kov-bench-save_loop setup DIR ROWS   an account file of ROWS accounts, an empty update file
//   kov-bench-save_loop write DIR        saves versions 1, 2, 3 ... until killed
//   kov-bench-save_loop check DIR        exit 0 when the update file is one whole version
//
// Version v marks every account changed with the comment "v<v>"; version 0 is the file as set
// up. Only the account file is read, so each version's bytes can be rebuilt exactly.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"

namespace {

using namespace kov;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string InitialUpdateFile() { return std::string(kUpdateFileHeader) + "\r\n"; }

bool LoadVersion(AccountTable& t, const std::string& dir, long version) {
  if (!ReadAccountFile(t, JoinPath(dir, kAccountFileName)).ok()) return false;
  const std::string comment = "v" + std::to_string(version);
  for (RowId r : t.Order()) {
    t.SetCurrent(r);
    t.Edit();
    t.SetText(dbcommend, comment);
    t.SetInt(dbstatus, StatusChanged);
    t.Post();
  }
  return true;
}

int Setup(const std::string& dir, int rows) {
  std::string accounts;
  for (int i = 0; i < rows; ++i) {
    accounts += "[account" + std::to_string(i) + "]\r\nPLEVEL=1\r\nPRIV=$0\r\nPASSWORD=secret" +
                std::to_string(i * 7919) + "\r\nEMAIL=a" + std::to_string(i) +
                "@example.org\r\nBLOCK=0\r\nJAIL=0\r\n\r\n";
  }
  accounts += "[EOF]\r\n";
  std::ofstream(JoinPath(dir, kAccountFileName), std::ios::binary) << accounts;
  std::ofstream(JoinPath(dir, kUpdateFileName), std::ios::binary) << InitialUpdateFile();
  return 0;
}

int Write(const std::string& dir) {
  for (long version = 1;; ++version) {
    AccountTable t;
    if (!LoadVersion(t, dir, version)) return 2;
    const SaveResult r = WriteAccountUpdates(t, dir, {});
    if (!r.ok()) {
      std::fprintf(stderr, "save %ld failed: %s\n", version, r.message.c_str());
      return 1;
    }
  }
}

int Check(const std::string& dir) {
  const std::string bytes = ReadAll(JoinPath(dir, kUpdateFileName));
  if (bytes == InitialUpdateFile()) {
    std::printf("version 0\n");
    return 0;
  }
  const std::string key = "\r\nTAG.COMMENT=v";
  const std::size_t at = bytes.find(key);
  if (at == std::string::npos) {
    std::printf("MIXED: %zu bytes, no version in the file\n", bytes.size());
    return 1;
  }
  const long version = std::strtol(bytes.c_str() + at + key.size(), nullptr, 10);
  AccountTable t;
  if (!LoadVersion(t, dir, version)) return 2;
  if (bytes != BuildUpdateFile(t, t.Order())) {
    std::printf("MIXED: %zu bytes do not match version %ld\n", bytes.size(), version);
    return 1;
  }
  std::printf("version %ld\n", version);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "setup" && argc > 3) return Setup(argv[2], std::atoi(argv[3]));
  if (mode == "write") return Write(argv[2]);
  if (mode == "check") return Check(argv[2]);
  std::fprintf(stderr, "usage: kov-bench-save_loop setup DIR ROWS | write DIR | check DIR\n");
  return 2;
}
