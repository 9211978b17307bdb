#pragma once
// A file read into one buffer by a second thread while the caller works on what has
// arrived: copying 30 MB from the system's cache then overlaps with parsing it.
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "store/Files.h"
#include "store/ScriptSyntax.h"

namespace kov {

class FileStream {
 public:
  explicit FileStream(size_t chunkBytes = 512 * 1024) : m_chunk(chunkBytes) {}
  ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Opens the file and starts reading. The buffer holds the file's size at the start plus
  // room for some growth; a file that outgrows it while being read fails.
  FileReadStatus Open(const std::string& path, std::string* error);
  // The buffer; the caller may take ownership at once (the stream keeps writing into it
  // until End) and must keep it alive until the stream is destroyed or has ended.
  std::unique_ptr<char[]> TakeBuffer() { return std::move(m_buffer); }
  char* Data() const { return m_data; }
  size_t Capacity() const { return m_capacity; }
  size_t ExpectedSize() const { return m_expected; }  // the size when opened

  struct Progress {
    size_t available;  // bytes that may be read, up to the first NUL
    bool end;          // nothing more will come
  };
  // Waits until more than `seen` bytes are there or the reading has ended.
  Progress Wait(size_t seen);
  // Once the file is read, the reading thread prefaults this block (see PrefaultForWrite).
  void PrefaultAfterReading(void* p, size_t size);
  void Stop();  // the caller needs no more; returns once the reading thread has ended
  // After the end: whether the reading failed, and why.
  bool Failed(std::string* error) const;

 private:
  void Run();

  size_t m_chunk;
  std::FILE* m_file = nullptr;
  FileVersion m_opened;
  std::unique_ptr<char[]> m_buffer;
  char* m_data = nullptr;
  size_t m_capacity = 0;
  size_t m_expected = 0;
  std::thread m_thread;
  mutable std::mutex m_mutex;
  std::condition_variable m_cv;
  size_t m_available = 0;
  bool m_end = false;
  bool m_stop = false;
  void* m_prefault = nullptr;
  size_t m_prefaultSize = 0;
  std::string m_error;
};

}  // namespace kov
