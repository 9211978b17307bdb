#include "backup/Huffman_Work.h"

#include "settings/IniFile.h"
#include "store/Files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace kov {

namespace {

std::string ErrnoText(int err) { return std::strerror(err); }


}  // namespace

// ---------------------------------------------------------------------------------------

FileInput::~FileInput() {
#ifdef _WIN32
  if (m_fd >= 0) _close(m_fd);
#else
  if (m_fd >= 0) ::close(m_fd);
#endif
}

bool FileInput::Open(const std::string& path, std::string& error) {
  m_fd = OpenSharedForReading(path);
#ifndef _WIN32
  if (m_fd >= 0) {
    struct stat st {};
    if (::fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(m_fd);
      m_fd = -1;
      errno = EISDIR;
    }
  }
#endif
  if (m_fd < 0) {
    error = "Cannot open " + path + ": " + ErrnoText(errno);
    return false;
  }
  return true;
}

bool FileInput::Rewind() {
#ifdef _WIN32
  return m_fd >= 0 && _lseeki64(m_fd, 0, SEEK_SET) == 0;
#else
  return m_fd >= 0 && ::lseek(m_fd, 0, SEEK_SET) == 0;
#endif
}

std::ptrdiff_t FileInput::Read(std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
#ifdef _WIN32
    const int n = _read(m_fd, data + done, static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 30)));
#else
    const ssize_t n = ::read(m_fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
#endif
    if (n < 0) {
      m_errno = errno;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::ptrdiff_t>(done);
}

// ---------------------------------------------------------------------------------------

AtomicFileOutput::~AtomicFileOutput() { Discard(); }

void AtomicFileOutput::Discard() {
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

bool AtomicFileOutput::Open(const std::string& target, std::string& error) {
  Discard();
  m_errno = 0;
  std::error_code ec;
  fs::path resolved(target);
  // Replace the file a symbolic link points at, not the link.
  if (fs::is_symlink(resolved, ec)) {
    const fs::path real = fs::weakly_canonical(resolved, ec);
    if (!ec) resolved = real;
  }
  if (fs::is_directory(resolved, ec)) {
    error = "Cannot write " + target + ": it is a folder";
    return false;
  }
  m_target = resolved.string();
  m_replacing = fs::exists(resolved, ec);
  int fd = -1;
  std::string temp;
  for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = TempNameFor(resolved.string(), attempt);
#ifdef _WIN32
    fd = _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    // Owner only: backups hold every password in clear text.
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
#endif
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = "Cannot create a file beside " + target + ": " + ErrnoText(errno);
    return false;
  }
  m_fd = fd;
  m_temp = temp;
  return true;
}

bool AtomicFileOutput::Write(const std::uint8_t* data, std::size_t size) {
  if (m_fd < 0) return false;
  std::size_t done = 0;
  while (done < size) {
#ifdef _WIN32
    const int n = _write(m_fd, data + done, static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 30)));
#else
    const ssize_t n = ::write(m_fd, data + done, size - done);
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

std::string AtomicFileOutput::WriteErrorText() const {
  return "Cannot write " + m_target + ": " + ErrnoText(m_errno ? m_errno : EIO);
}

bool AtomicFileOutput::Commit(std::string& error) {
  if (m_fd < 0) {
    error = "Cannot write " + m_target + ": not open";
    return false;
  }
  if (m_errno) {
    error = WriteErrorText();
    Discard();
    return false;
  }
#ifdef _WIN32
  const bool synced = !m_replacing || _commit(m_fd) == 0;
  const int err = errno;
  const bool closed = _close(m_fd) == 0;
  m_fd = -1;
  if (!synced || !closed) {
    error = "Cannot write " + m_target + ": " + ErrnoText(synced ? errno : err);
    Discard();
    return false;
  }
  if (!ReplaceFileWith(m_temp, m_target, error)) {
    Discard();
    return false;
  }
#else
  // The old file must survive a crash during the rename, so it is replaced only by data
  // already on the disk. A new file puts nothing at risk and is left to the page cache.
  const bool synced = !m_replacing || ::fsync(m_fd) == 0;
  const int err = errno;
  const bool closed = ::close(m_fd) == 0;
  m_fd = -1;
  if (!synced || !closed) {
    error = "Cannot write " + m_target + ": " + ErrnoText(synced ? errno : err);
    Discard();
    return false;
  }
  if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
    error = "Cannot replace " + m_target + ": " + ErrnoText(errno);
    Discard();
    return false;
  }
  const fs::path folder = fs::path(m_target).has_parent_path() ? fs::path(m_target).parent_path()
                                                                 : fs::path(".");
  const int dirFd = m_replacing ? ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
#endif
  m_temp.clear();
  return true;
}

// ---------------------------------------------------------------------------------------

HuffmanFileResult HuffmanCompressToFile(HuffmanInput& input, const std::string& dest) {
  HuffmanFileResult result;
  AtomicFileOutput output;
  if (!output.Open(dest, result.error)) return result;
  THuffmanEncoder encoder;
  encoder.SetInput(&input);
  encoder.SetOutput(&output);
  const HuffmanStatus status = encoder.Encode();
  result.status = status;
  switch (status) {
    case HuffmanStatus::Ok:
      break;
    case HuffmanStatus::WriteError:
      result.error = output.WriteErrorText();
      return result;
    default:
      result.error = std::string("Cannot compress into ") + dest + ": " + HuffmanStatusText(status);
      return result;
  }
  result.ok = output.Commit(result.error);
  return result;
}

HuffmanFileResult HuffmanCompressFile(const std::string& source, const std::string& dest) {
  HuffmanFileResult result;
  FileInput input;
  if (!input.Open(source, result.error)) return result;
  result = HuffmanCompressToFile(input, dest);
  if (result.status == HuffmanStatus::ReadError) {
    result.error = "Cannot read " + source + ": " +
                   (input.LastErrno() ? ErrnoText(input.LastErrno())
                                      : std::string("it changed while it was being compressed"));
  }
  return result;
}

HuffmanFileResult HuffmanDecompressFile(const std::string& source, const std::string& dest) {
  HuffmanFileResult result;
  FileInput input;
  if (!input.Open(source, result.error)) return result;
  AtomicFileOutput output;
  if (!output.Open(dest, result.error)) return result;
  THuffmanDecoder decoder;
  decoder.SetInput(&input);
  decoder.SetOutput(&output);
  const HuffmanStatus status = decoder.Decode();
  result.status = status;
  if (status == HuffmanStatus::ReadError) {
    result.error = "Cannot read " + source + ": " + ErrnoText(input.LastErrno() ? input.LastErrno() : EIO);
    return result;
  }
  if (status == HuffmanStatus::WriteError) {
    result.error = output.WriteErrorText();
    return result;
  }
  result.complete = decoder.Complete();
  result.headerComplete = decoder.HeaderComplete();
  result.symbols = decoder.SymbolCount();
  result.symbolsOut = decoder.SymbolsWritten();
  result.ok = output.Commit(result.error);
  return result;
}

}  // namespace kov
