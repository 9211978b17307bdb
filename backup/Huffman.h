#pragma once
// Static byte-oriented Huffman coder of the backup files.
//
// Stream: symbol count (int64 LE), 256 byte counts (int32 LE), then the codes packed
// from each byte's least significant bit, followed by at least one more bit position.
// Only the counts travel, so both sides must build the very same tree: the order of the
// work list, including the swaps of equal weights done by the list sort, is part of the
// format.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

// A readable stream that can be moved back to its start (the encoder reads twice).
class HuffmanInput {
 public:
  virtual ~HuffmanInput() = default;
  virtual bool Rewind() = 0;
  // Fills up to size bytes; fewer only at the end of the stream; -1 on a read error.
  virtual std::ptrdiff_t Read(std::uint8_t* data, std::size_t size) = 0;
  // The whole stream, when it already lies in memory: the decoder then reads it in place
  // instead of copying it block by block.
  virtual bool InMemory(std::string_view& whole) const {
    (void)whole;
    return false;
  }
};

class HuffmanOutput {
 public:
  virtual ~HuffmanOutput() = default;
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

class MemoryInput final : public HuffmanInput {
 public:
  explicit MemoryInput(std::string_view data) : m_data(data) {}
  bool Rewind() override;
  std::ptrdiff_t Read(std::uint8_t* data, std::size_t size) override;
  bool InMemory(std::string_view& whole) const override {
    whole = m_data;
    return true;
  }

 private:
  std::string_view m_data;
  std::size_t m_pos = 0;
};

class StringOutput final : public HuffmanOutput {
 public:
  bool Write(const std::uint8_t* data, std::size_t size) override;
  std::string& Data() { return m_data; }

 private:
  std::string m_data;
};

enum class HuffmanStatus {
  Ok,
  ReadError,
  WriteError,
  TooLarge,  // a byte value occurs 2^31 times or more: its count does not fit the header
  NoStream,  // input or output missing: nothing was done
};

const char* HuffmanStatusText(HuffmanStatus status);

inline constexpr std::size_t kHuffmanBlockSize = 65535;
inline constexpr std::size_t kHuffmanHeaderSize = 8 + 256 * 4;

// One bit per element, element 0 next to the root.
using THuffmanCode = std::vector<std::uint8_t>;
using THuffmanCodes = std::array<THuffmanCode, 256>;
using THuffmanCounts = std::array<std::int32_t, 256>;

class THuffmanTree {
 public:
  struct Node {
    std::int32_t weight = 0;
    std::int16_t left = -1;  // node indices; -1 in a leaf
    std::int16_t right = -1;
    std::uint8_t symbol = 0;
    bool IsLeaf() const { return left < 0; }
  };

  THuffmanTree();

  void SetSource(HuffmanInput* source) { m_source = source; }
  void SetCountSource(bool on) { m_countSource = on; }
  THuffmanCounts& Counts() { return m_counts; }
  const THuffmanCounts& Counts() const { return m_counts; }

  // Counts the source when asked to, then builds the tree and the codes from the counts.
  // Anything but Ok comes from counting: a read error, or a count beyond 32 bits.
  HuffmanStatus Build();

  bool HasRoot() const { return m_root >= 0; }
  int Root() const { return m_root; }
  const Node& NodeAt(int index) const { return m_nodes[static_cast<std::size_t>(index)]; }
  const THuffmanCodes& Codes() const { return m_codes; }

 private:
  HuffmanStatus CountSource();
  void BuildTree();
  void AssignCodes(int node, THuffmanCode& path);

  HuffmanInput* m_source = nullptr;
  int m_root = -1;
  THuffmanCodes m_codes;
  THuffmanCounts m_counts{};
  bool m_countSource = true;
  std::vector<Node> m_nodes;
};

class THuffmanEncoder {
 public:
  THuffmanEncoder();
  void SetInput(HuffmanInput* input) { m_input = input; }
  void SetOutput(HuffmanOutput* output) { m_output = output; }
  HuffmanStatus Encode();
  const THuffmanTree& Tree() const { return m_tree; }

 private:
  THuffmanTree m_tree;
  HuffmanInput* m_input = nullptr;
  HuffmanOutput* m_output = nullptr;
};

class THuffmanDecoder {
 public:
  THuffmanDecoder();
  void SetInput(HuffmanInput* input) { m_input = input; }
  void SetOutput(HuffmanOutput* output) { m_output = output; }
  // Decodes straight into the caller's memory instead of an output stream (the restore view
  // decodes into the buffer its table adopts). A stream promising more symbols than
  // `capacity` is a WriteError before anything is decoded.
  void SetOutputBuffer(std::uint8_t* data, std::size_t capacity) {
    m_outputBuffer = data;
    m_outputCapacity = capacity;
  }
  HuffmanStatus Decode();
  const THuffmanTree& Tree() const { return m_tree; }

  // After Decode: whether the stream held its whole header and as many symbols as its
  // count promised. A short stream still yields what it holds.
  bool HeaderComplete() const { return m_headerComplete; }
  std::int64_t SymbolCount() const { return m_symbolCount; }
  std::int64_t SymbolsWritten() const { return m_symbolsWritten; }
  bool Complete() const { return m_headerComplete && m_symbolsWritten >= m_symbolCount; }

 private:
  HuffmanStatus DecodeSingleLeaf(std::uint8_t symbol);
  HuffmanStatus DecodeTree();

  THuffmanTree m_tree;
  HuffmanInput* m_input = nullptr;
  HuffmanOutput* m_output = nullptr;
  std::uint8_t* m_outputBuffer = nullptr;
  std::size_t m_outputCapacity = 0;
  bool m_headerComplete = false;
  std::int64_t m_symbolCount = 0;
  std::int64_t m_symbolsWritten = 0;
};

// Whole-buffer helpers for callers that hold the data in memory anyway.
HuffmanStatus HuffmanEncode(std::string_view data, std::string& stream);
HuffmanStatus HuffmanDecode(std::string_view stream, std::string& data);

}  // namespace kov
