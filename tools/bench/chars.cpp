// Opening a character near the end of a large vornexchars.scp with the Qt-free reader,
// against grep -c SERIAL= on the same file in the same run, with the reader's peak memory.
//
//   kov-bench-chars [--mb N] [--file PATH] [--keep] [--runs N]
//
// Without --file a save file of N megabytes (default 200) is generated in a temporary folder
// and removed afterwards unless --keep is given.
#ifdef _WIN32
#include <cstdio>

// grep and /proc are what it measures against and with.
int main() {
  std::fprintf(stderr, "kov-bench-chars runs on Linux only\n");
  return 2;
}
#else
#include "CharBench.h"

int main(int argc, char** argv) {
  return charbench::Run(argc, argv, "kov-bench-chars", "ReadCharacterFile",
                        [](const std::filesystem::path& file, const std::string& uid) {
                          const kov::CharacterReadResult r = kov::ReadCharacterFile(file, uid);
                          return charbench::Shown{r.status == kov::CharacterFileStatus::Found,
                                                  r.record.general[2], r.record.skills.size()};
                        });
}
#endif
