#include "backup/Huffman_Work.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "store/Files.h"

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
    const int n = _read(m_fd, data + done,
                        static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 30)));
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

bool AtomicFileOutput::Open(const std::string& target, std::string& error) {
  return m_file.Open(target, AtomicFile::Access::OwnerOnly, error);
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
    result.error =
        "Cannot read " + source + ": " + ErrnoText(input.LastErrno() ? input.LastErrno() : EIO);
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
