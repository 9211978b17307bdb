#pragma once
// Huffman streams to and from files. Outputs go to a temporary file beside the target,
// created readable by its owner only, and are renamed over the target only when whole: a
// failure leaves the old file as it was and no partial file behind.
#include <cstdint>
#include <string>

#include "backup/Huffman.h"

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

class AtomicFileOutput final : public HuffmanOutput {
 public:
  AtomicFileOutput() = default;
  ~AtomicFileOutput() override;  // removes the temporary file unless committed
  AtomicFileOutput(const AtomicFileOutput&) = delete;
  AtomicFileOutput& operator=(const AtomicFileOutput&) = delete;

  bool Open(const std::string& target, std::string& error);
  bool Write(const std::uint8_t* data, std::size_t size) override;
  // Renames the temporary file over the target, after flushing it to the disk when it
  // replaces an existing file.
  bool Commit(std::string& error);
  void Discard();
  // The reason of the first failed write, for the operator.
  std::string WriteErrorText() const;
  const std::string& TempPath() const { return m_temp; }

 private:
  int m_fd = -1;
  int m_errno = 0;
  bool m_replacing = false;
  std::string m_target;
  std::string m_temp;
};

struct HuffmanFileResult {
  bool ok = false;
  HuffmanStatus status = HuffmanStatus::Ok;
  std::string error;      // for the operator: what failed, with the file and the reason
  bool complete = true;   // decoding: the stream held its whole header and every symbol
  bool headerComplete = true;  // decoding: the stream is at least as long as its header
  std::int64_t symbols = 0;       // decoding: symbols the stream's header promised
  std::int64_t symbolsOut = 0;    // decoding: symbols written
};

// Compresses one file into another (an existing destination is replaced).
HuffmanFileResult HuffmanCompressFile(const std::string& source, const std::string& dest);
// Compresses a stream (for example a text held in memory) into a file.
HuffmanFileResult HuffmanCompressToFile(HuffmanInput& input, const std::string& dest);
// Writes what the stream holds even when it is cut short; `complete` tells.
HuffmanFileResult HuffmanDecompressFile(const std::string& source, const std::string& dest);

}  // namespace kov
