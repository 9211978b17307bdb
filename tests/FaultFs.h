#pragma once
// Real faults for the writers' tests: a file system that fills up, a folder that cannot be
// written. Linux only; each helper says why when the machine does not allow it.
#ifdef __linux__
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kov::faults {

// A folder that is its own tmpfs of a few kilobytes, so writes run into ENOSPC.
class SmallTmpfs {
 public:
  explicit SmallTmpfs(const char* size = "size=64k") {
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() /
             ("kov-tmpfs-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(m_path);
    if (::mount("tmpfs", m_path.c_str(), "tmpfs", 0, size) != 0) {
      m_reason = std::string("cannot mount a small tmpfs (needs root): ") + std::strerror(errno);
      std::filesystem::remove(m_path);
    } else {
      m_mounted = true;
      ::chmod(m_path.c_str(), 0755);
    }
  }
  ~SmallTmpfs() {
    if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool Mounted() const { return m_mounted; }
  const std::string& Reason() const { return m_reason; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  std::string Path() const { return m_path.string() + "/"; }

  // Fills the file system with a file named "filler" until at most `leave` bytes are free.
  void FillLeaving(std::size_t leave) const {
    const std::string filler = File("filler");
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    const std::vector<char> block(4096, 'f');
    std::size_t size = 0;
    for (;;) {
      const ssize_t n = ::write(fd, block.data(), block.size());
      if (n <= 0) break;
      size += static_cast<std::size_t>(n);
    }
    ::ftruncate(fd, static_cast<off_t>(size > leave ? size - leave : 0));
    ::close(fd);
  }

 private:
  std::filesystem::path m_path;
  std::string m_reason;
  bool m_mounted = false;
};

// The names in a folder, sorted bytewise: a leftover temporary file shows up here.
inline std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string ReadFile(const std::string& path) {
  std::string out;
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return "<missing>";
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return out;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (!bytes.empty()) (void)!::write(fd, bytes.data(), bytes.size());
  ::close(fd);
}

inline constexpr uid_t kNobody = 65534;

// Makes `dir` a folder its files stay writable in but no file can be created in, for the
// user that RunUnprivileged runs as (root ignores permission bits, so it runs as nobody).
inline void MakeFolderReadOnly(const std::string& dir) {
  if (::geteuid() == 0) {
    for (const std::string& name : Names(dir))
      (void)!::chown((dir + "/" + name).c_str(), kNobody, kNobody);
    (void)!::chown(dir.c_str(), 0, 0);
  }
  ::chmod(dir.c_str(), 0555);
}

// Runs fn in a child process, as nobody when we are root, and returns its result (0..125),
// or -1 with a reason when that is impossible.
inline int RunUnprivileged(const std::function<int()>& fn, std::string& reason) {
  const pid_t pid = ::fork();
  if (pid < 0) {
    reason = std::string("fork: ") + std::strerror(errno);
    return -1;
  }
  if (pid == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
      ::_exit(126);
    ::_exit(fn());
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    reason = "the child process did not end normally";
    return -1;
  }
  if (WEXITSTATUS(status) == 126) {
    reason = "cannot switch to user nobody";
    return -1;
  }
  return WEXITSTATUS(status);
}

}  // namespace kov::faults
#endif
