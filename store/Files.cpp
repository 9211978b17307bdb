#include "store/Files.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kov {

#ifdef _WIN32

namespace {

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EACCES;  // access denied, sharing and lock violations, as _open reports them
  }
}

std::wstring Widen(const std::string& path) {
  // The C library's narrow functions take the ANSI code page; so do we.
  const int n = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()),
                                      nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  return wide;
}

std::FILE* StreamOf(int fd) {
  if (fd < 0) return nullptr;
  std::FILE* f = _fdopen(fd, "rb");
  if (!f) {
    const int e = errno;
    _close(fd);
    errno = e;
  }
  return f;
}

}  // namespace

int OpenSharedForReading(const std::wstring& path) {
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoOf(::GetLastError());
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(h);
    errno = EMFILE;
  }
  return fd;
}

int OpenSharedForReading(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  return OpenSharedForReading(Widen(path));
}

std::FILE* FOpenSharedForReading(const std::wstring& path) {
  return StreamOf(OpenSharedForReading(path));
}

std::FILE* FOpenSharedForReading(const std::string& path) {
  return StreamOf(OpenSharedForReading(path));
}

FileVersion VersionOf(int fd) {
  FileVersion v;
  BY_HANDLE_FILE_INFORMATION info;
  const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (h == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(h, &info)) return v;
  v.known = true;
  v.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  v.modified = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  return v;
}

bool ReplaceFileWith(const std::string& from, const std::string& to, std::string& error) {
  using Clock = std::chrono::steady_clock;
  const auto giveUp = Clock::now() + std::chrono::milliseconds(500);
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    if (::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD e = ::GetLastError();
    const bool heldOpen =
        e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION;
    if (!heldOpen || Clock::now() >= giveUp) {
      error = "Cannot replace " + to + " (Windows error " + std::to_string(e) + ")";
      return false;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
}

#else

int OpenSharedForReading(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return -1;
  }
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

std::FILE* FOpenSharedForReading(const std::string& path) {
  const int fd = OpenSharedForReading(path);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int e = errno;
    ::close(fd);
    errno = e;
  }
  return f;
}

FileVersion VersionOf(int fd) {
  FileVersion v;
  struct stat st;
  if (::fstat(fd, &st) != 0) return v;
  v.known = true;
  v.size = static_cast<std::uint64_t>(st.st_size);
  v.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return v;
}

bool ReplaceFileWith(const std::string& from, const std::string& to, std::string& error) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  error = "Cannot replace " + to + ": " + std::strerror(errno);
  return false;
}

#endif

FileVersion VersionOf(std::FILE* file) { return file ? VersionOf(fileno(file)) : FileVersion{}; }

bool ReadAllBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* f = FOpenSharedForReading(path);
  if (!f) return false;
  const FileVersion before = VersionOf(f);
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  const int readError = errno ? errno : EIO;
  const bool changed = !failed && VersionOf(f) != before;
  std::fclose(f);
  if (failed || changed) {
    bytes.clear();
    errno = failed ? readError : EAGAIN;
    return false;
  }
  return true;
}

}  // namespace kov
