#pragma once
// Files: reading them without standing in the server's way, joining paths, and replacing a
// file only by a complete new one. Every reader and writer of the program is built on this.
//
// On Windows a file opened the C library's way cannot be deleted by another process until
// it is closed, so every file we read is opened here with read, write and delete sharing
// (docs/WINDOWS.md). Linux allows all of this anyway.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace kov {

// --- Reading ------------------------------------------------------------------------------

// A file's bytes, cut at the first NUL byte.
struct FileBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;  // text size (up to the first NUL)
};
// TooLarge: the file cannot be held in memory (a huge or sparse file); never an abort.
enum class FileReadStatus { Ok, Missing, Error, TooLarge };
// "the account file is too large to load: N bytes"
std::string TooLargeText(const char* what, std::uint64_t bytes);
FileReadStatus ReadWholeFile(const std::string& path, FileBytes& out, std::string* error = nullptr);
// Every byte of a file. False with errno set on failure; a file written in place while it
// was read is a failure too (errno EAGAIN), never a mix.
bool ReadAllBytes(const std::string& path, std::string& bytes);

// A C runtime descriptor open for binary reading, or -1 with errno set (ENOENT when there is
// no such file).
int OpenSharedForReading(const std::string& path);
#ifdef _WIN32
int OpenSharedForReading(const std::wstring& path);
#endif
// The same as a stream ("rb"), or nullptr with errno set.
std::FILE* FOpenSharedForReading(const std::string& path);
#ifdef _WIN32
std::FILE* FOpenSharedForReading(const std::wstring& path);
#endif

// What tells one state of an open file from another: its size and its last write time.
struct FileVersion {
  bool known = false;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's own units
  bool operator==(const FileVersion&) const = default;
};
FileVersion VersionOf(int fd);
FileVersion VersionOf(std::FILE* file);
// The version of the file at a path now; not known when there is none.
FileVersion VersionOfPath(const std::string& path);
// Text for a file whose content changed between opening and the end of its reading.
inline const char* ChangedWhileReadingText() { return "the file changed while it was being read"; }

bool FileExists(const std::string& path);
// A file the operator made read-only (no write bit) or we may not write: the server's files
// stay as the operator left them.
bool IsReadOnlyFile(const std::string& path);
bool IsDirectory(const std::string& path);
// Size of a file, or nullopt when there is none at the path.
std::optional<std::uint64_t> FileSizeOf(const std::string& path);

// --- Paths --------------------------------------------------------------------------------

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif
// `dir` ends with a path separator or not; both work.
std::string JoinPath(const std::string& dir, const std::string& name);
// Appends the platform's separator unless the path already ends with '/' or '\'; an empty
// path becomes the separator alone (the root folder).
std::string AppendPathSeparator(std::string path);

// --- Replacing ----------------------------------------------------------------------------

// A new content for a file, written to a temporary file beside it and renamed over it only
// when complete: a failure or a crash leaves the old file whole and no partial file behind.
class AtomicFile {
 public:
  enum class Access {
    // The server's files and kov.ini: the new file keeps the old one's mode and group (and
    // owner, where we may), so a server running as another user can still read and empty it.
    AsTheOldFile,
    // Backups and exports hold passwords in clear text: readable by their owner only.
    OwnerOnly,
  };

  AtomicFile() = default;
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // A symbolic link is followed: the file it points at is replaced, not the link. Refuses
  // (and replaces nothing) when the new file cannot keep the old one's group.
  bool Open(const std::string& target, Access access, std::string& error);
  // False once a write failed; the first failure is reported by Commit.
  bool Write(const void* data, std::size_t size);
  // Flushes the temporary file to the disk, then renames it over the target.
  bool Commit(std::string& error);
  void Discard();
  // The reason of the first failed write, for the operator.
  std::string WriteErrorText() const;
  // For writers that open the file by its name themselves (the spreadsheet library).
  const std::string& TempPath() const { return m_temp; }

 private:
  int m_fd = -1;
  int m_errno = 0;
  bool m_replacing = false;
  std::string m_target;
  std::string m_temp;
};

// The whole content at once, keeping the old file's access (AtomicFile::AsTheOldFile).
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// --- Appending ----------------------------------------------------------------------------

// Appends `bytes` with one write to a file created readable by its owner only when it is new,
// then flushes it to the disk. Lines already in the file are never touched; a failure leaves
// at most a torn last line, which readers of such logs tell apart.
bool AppendToFile(const std::string& path, const std::string& bytes, std::string& error);

// A fresh hidden name beside `target` for a file that is renamed over it when complete.
std::string TempNameFor(const std::string& target, unsigned attempt);

// Renames `from` over `to`. On Windows the target may be held open for a moment by another
// process (the server reading it, a virus scanner), which makes the rename fail: it is tried
// again for a few hundred milliseconds. False with a message on failure.
bool ReplaceFileWith(const std::string& from, const std::string& to, std::string& error);

}  // namespace kov
