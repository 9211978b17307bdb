// Another process for the tests, doing to a file what a server's world save may do:
//   kov-test-replace rename FROM TO [RETRY_MS]   rename over TO (tried again until RETRY_MS
//                                                have passed, as the stand-in server does)
//   kov-test-replace delete PATH
//   kov-test-replace write PATH TEXT             write TEXT over the start of PATH, in place
// Exit status 0 when that succeeded.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool RenameOnce(const char* from, const char* to) {
#ifdef _WIN32
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from, to) == 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "rename") == 0) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(argc == 5 ? std::atoi(argv[4]) : 0);
    while (!RenameOnce(argv[2], argv[3])) {
      if (std::chrono::steady_clock::now() >= end) return 1;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "delete") == 0) return std::remove(argv[2]) == 0 ? 0 : 1;
  if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
    std::FILE* f = std::fopen(argv[2], "r+b");
    if (!f) return 1;
    const std::size_t n = std::strlen(argv[3]);
    const bool ok = std::fwrite(argv[3], 1, n, f) == n;
    return std::fclose(f) == 0 && ok ? 0 : 1;
  }
  std::fprintf(
      stderr,
      "usage: kov-test-replace rename FROM TO [RETRY_MS] | delete PATH | write PATH TEXT\n");
  return 2;
}
