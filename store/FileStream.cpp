#include "store/FileStream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "store/Files.h"
#include "store/MemoryAdvice.h"

namespace kov {

FileStream::~FileStream() { Stop(); }

FileReadStatus FileStream::Open(const std::string& path, std::string* error) {
  m_file = FOpenSharedForReading(path);
  if (!m_file) {
    const int e = errno;
    if (error) *error = std::strerror(e);
    return e == ENOENT ? FileReadStatus::Missing : FileReadStatus::Error;
  }
  struct stat st;
  const bool statOk = ::fstat(fileno(m_file), &st) == 0;
  if (!statOk || S_ISDIR(st.st_mode)) {
    if (error) *error = statOk ? "is a folder" : std::strerror(errno);
    std::fclose(m_file);
    m_file = nullptr;
    return FileReadStatus::Error;
  }
  m_opened = VersionOf(m_file);
  std::setvbuf(m_file, nullptr, _IONBF, 0);  // chunks go straight into the buffer
  const size_t size = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  // A file being written while we read it may grow a little; more than this is refused.
  m_expected = size;
  m_capacity = size + size / 8 + 64 * 1024;
  m_buffer.reset(new (std::nothrow) char[m_capacity]);  // not zeroed: untouched until read
  if (!m_buffer) {
    if (error) *error = std::to_string(size);
    std::fclose(m_file);
    m_file = nullptr;
    return FileReadStatus::TooLarge;
  }
  m_data = m_buffer.get();
  AdviseHugePages(m_data, m_capacity);
  m_thread = std::thread([this] { Run(); });
  return FileReadStatus::Ok;
}

void FileStream::Run() {
  size_t got = 0;
  std::string error;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_stop) break;
    }
    if (got == m_capacity) {
      char probe;
      if (std::fread(&probe, 1, 1, m_file) == 1) error = "the file grew while it was being read";
      break;
    }
    const size_t want = std::min(m_chunk, m_capacity - got);
    const size_t n = std::fread(m_data + got, 1, want, m_file);
    if (n == 0) {
      if (std::ferror(m_file)) error = "read error";
      break;
    }
    // The text ends at the first NUL byte.
    const void* nul = std::memchr(m_data + got, '\0', n);
    const size_t text = nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_data) : got + n;
    got += n;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_available = text;
    }
    m_cv.notify_one();
    if (nul) break;
  }
  // Written in place while we read (a replacement by rename leaves our file as it was).
  if (error.empty() && VersionOf(m_file) != m_opened) error = ChangedWhileReadingText();
  std::fclose(m_file);
  m_file = nullptr;
  void* prefault = nullptr;
  size_t prefaultSize = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_error = error;
    m_end = true;
    if (!m_stop) {
      prefault = m_prefault;
      // Made ready for a file of the size it had; a text that ended early (a NUL, a sparse
      // file) needs only its share.
      prefaultSize = m_expected > m_available
                         ? static_cast<size_t>(static_cast<double>(m_prefaultSize) *
                                               static_cast<double>(m_available) /
                                               static_cast<double>(m_expected))
                         : m_prefaultSize;
    }
  }
  m_cv.notify_one();
  // The parser is still busy; its next page faults can be taken here.
  if (prefault) PrefaultForWrite(prefault, prefaultSize);
}

void FileStream::PrefaultAfterReading(void* p, size_t size) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_prefault = p;
  m_prefaultSize = size;
}

FileStream::Progress FileStream::Wait(size_t seen) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_cv.wait(lock, [&] { return m_available > seen || m_end; });
  return {m_available, m_end};
}

void FileStream::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  if (m_thread.joinable()) m_thread.join();
  if (m_file) {
    std::fclose(m_file);
    m_file = nullptr;
  }
}

bool FileStream::Failed(std::string* error) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (error) *error = m_error;
  return !m_error.empty();
}

}  // namespace kov
