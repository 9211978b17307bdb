#pragma once
// Huffman streams to and from files.
#include <cstdint>
#include <string>

#include "backup/Huffman.h"
#include "store/Files.h"

namespace kov {

class FileInput final : public HuffmanInput {
 public:
  FileInput() = default;
  ~FileInput() override;
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;

  bool Open(const std::string& path, std::string& error);
  bool Rewind() override;
  std::ptrdiff_t Read(std::uint8_t* data, std::size_t size) override;
  int LastErrno() const { return m_errno; }

 private:
  int m_fd = -1;
  int m_errno = 0;
};

// A Huffman stream into a file replaced only when whole (AtomicFile), readable by its owner
// only: backups hold every password.
class AtomicFileOutput final : public HuffmanOutput {
 public:
  bool Open(const std::string& target, std::string& error);
  bool Write(const std::uint8_t* data, std::size_t size) override {
    return m_file.Write(data, size);
  }
  bool Commit(std::string& error) { return m_file.Commit(error); }
  void Discard() { m_file.Discard(); }
  std::string WriteErrorText() const { return m_file.WriteErrorText(); }

 private:
  AtomicFile m_file;
};

struct HuffmanFileResult {
  bool ok = false;
  HuffmanStatus status = HuffmanStatus::Ok;
  std::string error;            // for the operator: what failed, with the file and the reason
  bool complete = true;         // decoding: the stream held its whole header and every symbol
  bool headerComplete = true;   // decoding: the stream is at least as long as its header
  std::int64_t symbols = 0;     // decoding: symbols the stream's header promised
  std::int64_t symbolsOut = 0;  // decoding: symbols written
};

// Compresses one file into another (an existing destination is replaced).
HuffmanFileResult HuffmanCompressFile(const std::string& source, const std::string& dest);
// Compresses a stream (for example a text held in memory) into a file.
HuffmanFileResult HuffmanCompressToFile(HuffmanInput& input, const std::string& dest);
// Writes what the stream holds even when it is cut short; `complete` tells.
HuffmanFileResult HuffmanDecompressFile(const std::string& source, const std::string& dest);

}  // namespace kov
