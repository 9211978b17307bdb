#pragma once
// Opening and replacing files so that the server and we never stand in each other's way.
//
// On Windows a file opened the C library's way cannot be renamed over or deleted by another
// process until it is closed: a world save that replaces the account file while we read it
// would fail. Every file we read is opened here instead, with read, write and delete sharing,
// so the server's replacement succeeds and our handle goes on reading the old file whole.
// Linux allows all of this anyway.
#include <cstdint>
#include <cstdio>
#include <string>

namespace kov {

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

// Every byte of a file, read through OpenSharedForReading. False with errno set on failure;
// a file written in place while it was read is a failure too (errno EAGAIN), never a mix.
bool ReadAllBytes(const std::string& path, std::string& bytes);

// What tells one state of an open file from another: its size and its last write time.
struct FileVersion {
  bool known = false;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's own units
  bool operator==(const FileVersion&) const = default;
};
FileVersion VersionOf(int fd);
FileVersion VersionOf(std::FILE* file);
// Text for a file whose content changed between opening and the end of its reading.
inline const char* ChangedWhileReadingText() { return "the file changed while it was being read"; }

// Renames `from` over `to`. On Windows the target may be held open for a moment by a process
// that did not allow deleting it (a virus scanner, a reader of the server's): the rename is
// retried for a few hundred milliseconds before it fails. False with a message on failure.
bool ReplaceFileWith(const std::string& from, const std::string& to, std::string& error);

}  // namespace kov
