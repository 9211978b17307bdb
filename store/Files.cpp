#include "store/Files.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "store/MemoryAdvice.h"

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
  const int n =
      ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
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

FileVersion VersionOfPath(const std::string& path) {
  const int fd = OpenSharedForReading(path);
  if (fd < 0) return {};
  const FileVersion v = VersionOf(fd);
#ifdef _WIN32
  _close(fd);
#else
  ::close(fd);
#endif
  return v;
}

bool ReadAllBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* f = FOpenSharedForReading(path);
  if (!f) return false;
  const FileVersion before = VersionOf(f);
  // Read in place at the size the file has now; growing by appends took most of a backup's
  // restore time. A file that grows meanwhile is read on, and then refused as changed.
  constexpr std::uint64_t kChunk = 1u << 20;
  std::size_t used = 0;
  bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(before.size, 1u << 30)) + 1);
  for (;;) {
    if (used == bytes.size()) bytes.resize(used + kChunk);
    const std::size_t n = std::fread(bytes.data() + used, 1, bytes.size() - used, f);
    used += n;
    if (n == 0 || used < bytes.size()) break;
  }
  bytes.resize(used);
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

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FileSizeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

FileReadStatus ReadWholeFile(const std::string& path, FileBytes& out, std::string* error) {
  out = FileBytes{};
  std::FILE* f = FOpenSharedForReading(path);
  if (!f) {
    const int e = errno;
    if (error) *error = std::strerror(e);
    return e == ENOENT ? FileReadStatus::Missing : FileReadStatus::Error;
  }
  const FileVersion opened = VersionOf(f);
  struct stat st;
  size_t cap = 0;
  if (::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    cap = static_cast<size_t>(st.st_size);
  if (::fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    std::fclose(f);
    if (error) *error = "is a folder";
    return FileReadStatus::Error;
  }
  // The file may grow or shrink between stat and read: read until EOF whatever the size,
  // or until the NUL byte that ends the text.
  size_t size = 0;
  cap = cap + 1;
  // Not zeroed: the pages stay untouched until read.
  std::unique_ptr<char[]> buf(new (std::nothrow) char[cap]);
  auto tooLarge = [&] {
    std::fclose(f);
    if (error) *error = std::to_string(cap - 1);
    return FileReadStatus::TooLarge;
  };
  if (!buf) return tooLarge();
  AdviseHugePages(buf.get(), cap);
  for (;;) {
    if (size == cap) {
      const size_t ncap = cap * 2;
      std::unique_ptr<char[]> nbuf(new (std::nothrow) char[ncap]);
      if (!nbuf) return tooLarge();
      std::memcpy(nbuf.get(), buf.get(), size);
      buf = std::move(nbuf);
      cap = ncap;
    }
    const size_t got = std::fread(buf.get() + size, 1, cap - size, f);
    const bool ended = got > 0 && std::memchr(buf.get() + size, '\0', got) != nullptr;
    size += got;
    if (got == 0 || ended) break;
  }
  const bool failed = std::ferror(f) != 0;
  const bool changed = !failed && VersionOf(f) != opened;
  std::fclose(f);
  if (failed || changed) {
    if (error) *error = failed ? "read error" : ChangedWhileReadingText();
    return FileReadStatus::Error;
  }
  const void* nul = std::memchr(buf.get(), '\0', size);
  out.size = nul ? static_cast<size_t>(static_cast<const char*>(nul) - buf.get()) : size;
  out.data = std::move(buf);
  return FileReadStatus::Ok;
}

bool IsReadOnlyFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
#ifdef _WIN32
  return (st.st_mode & _S_IWRITE) == 0 || _access(path.c_str(), 2) != 0;
#else
  return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
#endif
}

std::string TooLargeText(const char* what, std::uint64_t bytes) {
  return std::string("the ") + what + " is too large to load: " + std::to_string(bytes) + " bytes";
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  const char last = dir.back();
  if (last == '/' || last == '\\') return dir + name;
  return dir + kPathSeparator + name;
}

std::string AppendPathSeparator(std::string path) {
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += kPathSeparator;
  return path;
}

std::string TempNameFor(const std::string& targetPath, unsigned attempt) {
  namespace fs = std::filesystem;
  const fs::path target(targetPath);
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const unsigned long pid = static_cast<unsigned long>(_getpid());
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%lu.%u.%u.tmp", pid, counter.fetch_add(1), attempt);
  fs::path temp = target;
  temp.replace_filename("." + target.filename().string() + suffix);
  return temp.string();
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
#ifdef _WIN32
  if (m_fd >= 0) _close(m_fd);
  if (!m_temp.empty()) _unlink(m_temp.c_str());
#else
  if (m_fd >= 0) ::close(m_fd);
  if (!m_temp.empty()) ::unlink(m_temp.c_str());
#endif
  m_fd = -1;
  m_temp.clear();
}

bool AtomicFile::Open(const std::string& target, Access access, std::string& error) {
  namespace fs = std::filesystem;
  Discard();
  m_errno = 0;
  std::error_code ec;
  fs::path resolved(target);
  if (fs::is_symlink(resolved, ec)) {
    const fs::path real = fs::weakly_canonical(resolved, ec);
    if (!ec) resolved = real;
  }
  if (fs::is_directory(resolved, ec)) {
    error = "Cannot write " + target + ": it is a folder";
    return false;
  }
  m_target = resolved.string();
#ifdef _WIN32
  m_replacing = fs::exists(resolved, ec);
#else
  struct stat old {};
  m_replacing = ::stat(m_target.c_str(), &old) == 0;
  const mode_t mode = access == Access::OwnerOnly ? 0600 : 0666;
#endif
  int fd = -1;
  std::string temp;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TempNameFor(m_target, attempt);
#ifdef _WIN32
    fd = _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
#endif
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = "Cannot create a temporary file beside " + m_target + ": " + std::strerror(errno);
    return false;
  }
#ifndef _WIN32
  if (access == Access::AsTheOldFile && m_replacing && S_ISREG(old.st_mode)) {
    // Owner and group where we may (the owner only as root), else the group alone; the mode
    // last, since a change of owner clears the set-id bits.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    struct stat now {};
    if (::fstat(fd, &now) != 0 || now.st_gid != old.st_gid) {
      // A server running as another user may read the file through its group only.
      error = "Cannot replace " + m_target + ": the new file cannot keep the old one's group (" +
              std::to_string(old.st_gid) + "), through which the server may read it";
      ::close(fd);
      ::unlink(temp.c_str());
      return false;
    }
    ::fchmod(fd, old.st_mode & 07777);
  }
#else
  (void)access;
#endif
  m_fd = fd;
  m_temp = temp;
  return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (m_fd < 0 || m_errno) return false;
  const char* bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
#ifdef _WIN32
    const int n = _write(m_fd, bytes + done,
                         static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 30)));
#else
    const ssize_t n = ::write(m_fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) {
      m_errno = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string AtomicFile::WriteErrorText() const {
  return "Cannot write " + m_target + ": " + std::strerror(m_errno ? m_errno : EIO);
}

bool AtomicFile::Commit(std::string& error) {
  if (m_fd < 0) {
    error = "Cannot write " + m_target + ": not open";
    return false;
  }
  if (m_errno) {
    error = WriteErrorText();
    Discard();
    return false;
  }
  // The old file must survive a crash during the rename, and a new one must be whole when
  // success is reported: only data already on the disk is renamed.
#ifdef _WIN32
  const bool synced = _commit(m_fd) == 0;
  const int err = errno;
  const bool closed = _close(m_fd) == 0;
#else
  const bool synced = ::fsync(m_fd) == 0;
  const int err = errno;
  const bool closed = ::close(m_fd) == 0;
#endif
  m_fd = -1;
  if (!synced || !closed) {
    error = "Cannot write " + m_target + ": " + std::strerror(synced ? errno : err);
    Discard();
    return false;
  }
  if (!ReplaceFileWith(m_temp, m_target, error)) {
    Discard();
    return false;
  }
#ifndef _WIN32
  if (m_replacing) {
    namespace fs = std::filesystem;
    const fs::path target(m_target);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      ::fsync(dirFd);
      ::close(dirFd);
    }
  }
#endif
  m_temp.clear();
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  AtomicFile file;
  if (!file.Open(path, AtomicFile::Access::AsTheOldFile, error)) return false;
  file.Write(bytes.data(), bytes.size());
  return file.Commit(error);
}

bool AppendToFile(const std::string& path, const std::string& bytes, std::string& error) {
#ifdef _WIN32
  const int fd =
      _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    error = "Cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  int err = 0;
  while (done < bytes.size()) {
#ifdef _WIN32
    const int n =
        _write(fd, bytes.data() + done,
               static_cast<unsigned>(std::min<std::size_t>(bytes.size() - done, 1u << 30)));
#else
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n <= 0) {
      err = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
#ifdef _WIN32
  if (!err && _commit(fd) != 0) err = errno;
  if (_close(fd) != 0 && !err) err = errno;
#else
  if (!err && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
#endif
  if (err) {
    error = "Cannot write " + path + ": " + std::strerror(err);
    return false;
  }
  return true;
}

}  // namespace kov
