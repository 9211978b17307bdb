#include "backup/Huffman.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

namespace kov {

namespace {

constexpr std::size_t kBlock = kHuffmanBlockSize;

std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, p, 8);
  } else {
    for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  }
  return v;
}

void Store64(std::uint8_t* p, std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 8);
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

std::int32_t AddWrapping(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// The list sort of the format: a quicksort whose pivot is the middle element's weight and
// which also swaps equal elements. Any other sort orders equal weights differently.
void SortByWeight(std::vector<std::int16_t>& list, const std::vector<THuffmanTree::Node>& nodes,
                  int left, int right) {
  auto weight = [&](int i) { return nodes[static_cast<std::size_t>(list[i])].weight; };
  do {
    int i = left;
    int j = right;
    const std::int32_t pivot = weight((left + right) / 2);
    do {
      while (weight(i) < pivot) ++i;
      while (weight(j) > pivot) --j;
      if (i <= j) {
        std::swap(list[i], list[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (left < j) SortByWeight(list, nodes, left, j);
    left = i;
  } while (left < right);
}

}  // namespace

bool MemoryInput::Rewind() {
  m_pos = 0;
  return true;
}

std::ptrdiff_t MemoryInput::Read(std::uint8_t* data, std::size_t size) {
  const std::size_t n = std::min(size, m_data.size() - m_pos);
  if (n) std::memcpy(data, m_data.data() + m_pos, n);
  m_pos += n;
  return static_cast<std::ptrdiff_t>(n);
}

bool StringOutput::Write(const std::uint8_t* data, std::size_t size) {
  m_data.append(reinterpret_cast<const char*>(data), size);
  return true;
}

const char* HuffmanStatusText(HuffmanStatus status) {
  switch (status) {
    case HuffmanStatus::Ok:
      return "ok";
    case HuffmanStatus::ReadError:
      return "read error";
    case HuffmanStatus::WriteError:
      return "write error";
    case HuffmanStatus::TooLarge:
      return "input too large: a byte value occurs 2^31 times or more";
    case HuffmanStatus::NoStream:
      return "no input or output stream";
  }
  return "unknown error";
}

// ---------------------------------------------------------------------------------------
// THuffmanTree

THuffmanTree::THuffmanTree() { m_nodes.reserve(511); }

HuffmanStatus THuffmanTree::Build() {
  if (m_countSource && m_source) {
    const HuffmanStatus status = CountSource();
    if (status != HuffmanStatus::Ok) return status;
  }
  BuildTree();
  return HuffmanStatus::Ok;
}

HuffmanStatus THuffmanTree::CountSource() {
  m_counts.fill(0);
  if (!m_source->Rewind()) return HuffmanStatus::ReadError;
  std::vector<std::uint8_t> buffer(kBlock);
  std::array<std::int64_t, 256> totals{};
  // Four tables let consecutive equal bytes update different counters.
  std::array<std::array<std::uint32_t, 256>, 4> part{};
  for (;;) {
    const std::ptrdiff_t got = m_source->Read(buffer.data(), kBlock);
    if (got < 0) return HuffmanStatus::ReadError;
    const std::uint8_t* p = buffer.data();
    const std::size_t n = static_cast<std::size_t>(got);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
      ++part[0][p[i]];
      ++part[1][p[i + 1]];
      ++part[2][p[i + 2]];
      ++part[3][p[i + 3]];
    }
    for (; i < n; ++i) ++part[0][p[i]];
    for (int s = 0; s < 256; ++s) {
      totals[s] += std::int64_t{part[0][s]} + part[1][s] + part[2][s] + part[3][s];
    }
    for (auto& t : part) t.fill(0);
    if (n != kBlock) break;
  }
  for (int s = 0; s < 256; ++s) {
    if (totals[s] > std::numeric_limits<std::int32_t>::max()) return HuffmanStatus::TooLarge;
    m_counts[s] = static_cast<std::int32_t>(totals[s]);
  }
  return HuffmanStatus::Ok;
}

void THuffmanTree::BuildTree() {
  m_nodes.clear();
  m_root = -1;
  for (auto& code : m_codes) code.clear();

  std::vector<std::int16_t> list;
  for (int s = 0; s < 256; ++s) {
    if (m_counts[s] > 0) {
      Node leaf;
      leaf.weight = m_counts[s];
      leaf.symbol = static_cast<std::uint8_t>(s);
      list.push_back(static_cast<std::int16_t>(m_nodes.size()));
      m_nodes.push_back(leaf);
    }
  }
  while (list.size() > 1) {
    SortByWeight(list, m_nodes, 0, static_cast<int>(list.size()) - 1);
    Node inner;
    inner.left = list[0];
    inner.right = list[1];
    inner.weight = AddWrapping(m_nodes[list[0]].weight, m_nodes[list[1]].weight);
    list.erase(list.begin(), list.begin() + 2);
    list.push_back(static_cast<std::int16_t>(m_nodes.size()));
    m_nodes.push_back(inner);
  }
  if (list.empty()) return;
  m_root = list[0];
  if (m_nodes[m_root].IsLeaf()) {
    m_codes[m_nodes[m_root].symbol] = {1};
    return;
  }
  THuffmanCode path;
  AssignCodes(m_root, path);
}

void THuffmanTree::AssignCodes(int node, THuffmanCode& path) {
  const Node& n = m_nodes[static_cast<std::size_t>(node)];
  if (n.IsLeaf()) {
    m_codes[n.symbol] = path;
    return;
  }
  path.push_back(0);
  AssignCodes(n.left, path);
  path.back() = 1;
  AssignCodes(n.right, path);
  path.pop_back();
}

// ---------------------------------------------------------------------------------------
// THuffmanEncoder

namespace {

struct CodeTable {
  std::uint64_t bits[256];
  std::uint8_t length[256];
};

// Code bits are gathered least significant first in a 64-bit word; after each group of
// codes the whole word is stored and the pointer advances by the complete bytes.
class BitWriter {
 public:
  explicit BitWriter(HuffmanOutput& output) : m_output(output), m_buffer(kBlock + 64) {}

  // Codes of at most 56 bits. `group` codes are gathered before each store: as many as fit
  // beside the at most 7 pending bits in 63 bits.
  bool PutAll(const std::uint8_t* p, std::size_t n, const CodeTable& table, int group) {
    switch (group) {
      case 4:
        return PutGroups<4>(p, n, table);
      case 3:
        return PutGroups<3>(p, n, table);
      case 2:
        return PutGroups<2>(p, n, table);
      default:
        return PutGroups<1>(p, n, table);
    }
  }

  static int GroupFor(std::size_t maxLength) {
    for (int group = 4; group > 1; --group) {
      if (7 + static_cast<std::size_t>(group) * maxLength <= 63) return group;
    }
    return 1;
  }

  // Codes longer than 56 bits (only from counts near the 32-bit limit), bit by bit.
  bool PutLong(const THuffmanCode& code) {
    for (std::uint8_t bit : code) {
      m_acc |= std::uint64_t{bit} << m_bits;
      if (++m_bits == 8) {
        m_buffer[m_pos++] = static_cast<std::uint8_t>(m_acc);
        m_acc = 0;
        m_bits = 0;
        if (m_pos >= kBlock && !WriteBlock(m_buffer.data() + m_pos)) return false;
        if (m_pos >= kBlock) m_pos -= kBlock;
      }
    }
    return true;
  }

  // The byte after the last code bit is written even when it holds no bit.
  bool Finish() {
    m_buffer[m_pos++] = static_cast<std::uint8_t>(m_acc);
    m_acc = 0;
    m_bits = 0;
    return m_output.Write(m_buffer.data(), m_pos);
  }

  std::uint64_t BitsWritten() const { return (m_written + m_pos) * 8 + m_bits; }

 private:
  template <int G>
  bool PutGroups(const std::uint8_t* p, std::size_t n, const CodeTable& table) {
    std::uint8_t* const begin = m_buffer.data();
    std::uint8_t* const limit = begin + kBlock;
    std::uint8_t* out = begin + m_pos;
    std::uint64_t acc = m_acc;
    unsigned bits = m_bits;
    std::size_t i = 0;
    auto put = [&](std::size_t j) {
      acc |= table.bits[p[j]] << bits;
      bits += table.length[p[j]];
    };
    for (; i + G <= n; i += G) {
      [&]<std::size_t... K>(std::index_sequence<K...>) { (put(i + K), ...); }
      (std::make_index_sequence<G>{});
      Store64(out, acc);
      out += bits >> 3;
      acc >>= (bits & ~7u);
      bits &= 7;
      if (out >= limit) {
        if (!WriteBlock(out)) return false;
        out -= kBlock;
      }
    }
    for (; i < n; ++i) {
      put(i);
      Store64(out, acc);
      out += bits >> 3;
      acc >>= (bits & ~7u);
      bits &= 7;
      if (out >= limit) {
        if (!WriteBlock(out)) return false;
        out -= kBlock;
      }
    }
    m_pos = static_cast<std::size_t>(out - begin);
    m_acc = acc;
    m_bits = bits;
    return true;
  }

  bool WriteBlock(const std::uint8_t* end) {
    if (!m_output.Write(m_buffer.data(), kBlock)) return false;
    const std::size_t rest = static_cast<std::size_t>(end - m_buffer.data()) - kBlock;
    std::memmove(m_buffer.data(), m_buffer.data() + kBlock, rest);
    m_written += kBlock;
    return true;
  }

  HuffmanOutput& m_output;
  std::vector<std::uint8_t> m_buffer;
  std::size_t m_pos = 0;
  std::uint64_t m_written = 0;
  std::uint64_t m_acc = 0;
  unsigned m_bits = 0;
};

}  // namespace

THuffmanEncoder::THuffmanEncoder() { m_tree.SetCountSource(true); }

HuffmanStatus THuffmanEncoder::Encode() {
  if (!m_input || !m_output) return HuffmanStatus::NoStream;
  m_tree.SetSource(m_input);
  HuffmanStatus status = m_tree.Build();
  if (status != HuffmanStatus::Ok) return status;

  const THuffmanCounts& counts = m_tree.Counts();
  std::int64_t symbols = 0;
  for (std::int32_t c : counts) symbols += c;
  std::uint8_t header[kHuffmanHeaderSize];
  Store64(header, static_cast<std::uint64_t>(symbols));
  for (int s = 0; s < 256; ++s) {
    const auto c = static_cast<std::uint32_t>(counts[s]);
    for (int k = 0; k < 4; ++k) header[8 + 4 * s + k] = static_cast<std::uint8_t>(c >> (8 * k));
  }
  if (!m_output->Write(header, sizeof header)) return HuffmanStatus::WriteError;

  const THuffmanCodes& codes = m_tree.Codes();
  CodeTable table{};
  std::size_t maxLength = 0;
  std::uint64_t expectedBits = 0;
  for (int s = 0; s < 256; ++s) {
    const THuffmanCode& code = codes[s];
    maxLength = std::max(maxLength, code.size());
    expectedBits += static_cast<std::uint64_t>(std::max(counts[s], 0)) * code.size();
    if (code.size() > 56) continue;
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < code.size(); ++k) bits |= std::uint64_t{code[k]} << k;
    table.bits[s] = bits;
    table.length[s] = static_cast<std::uint8_t>(code.size());
  }

  if (!m_input->Rewind()) return HuffmanStatus::ReadError;
  BitWriter writer(*m_output);
  const int group = BitWriter::GroupFor(maxLength);
  std::vector<std::uint8_t> buffer(kBlock);
  std::int64_t seen = 0;
  for (;;) {
    const std::ptrdiff_t got = m_input->Read(buffer.data(), kBlock);
    if (got < 0) return HuffmanStatus::ReadError;
    const std::size_t n = static_cast<std::size_t>(got);
    seen += static_cast<std::int64_t>(n);
    if (maxLength <= 56) {
      if (!writer.PutAll(buffer.data(), n, table, group)) {
        return HuffmanStatus::WriteError;
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        const THuffmanCode& code = codes[buffer[i]];
        const bool ok =
            code.size() > 56 ? writer.PutLong(code) : writer.PutAll(&buffer[i], 1, table, 1);
        if (!ok) return HuffmanStatus::WriteError;
      }
    }
    if (n != kBlock) break;
  }
  // A source that changed between the two readings would give codes that do not match
  // the counts in the header.
  if (seen != symbols || writer.BitsWritten() != expectedBits) return HuffmanStatus::ReadError;
  if (!writer.Finish()) return HuffmanStatus::WriteError;
  return HuffmanStatus::Ok;
}

// ---------------------------------------------------------------------------------------
// THuffmanDecoder

namespace {

// Where decoded bytes go: blocks handed to the output stream, or the caller's buffer, which
// is written in place.
class ByteSink {
 public:
  ByteSink(HuffmanOutput* output, std::uint8_t* buffer, std::size_t capacity)
      : m_output(buffer ? nullptr : output) {
    if (!m_output) {
      m_begin = buffer;
      m_end = buffer + capacity;
    } else {
      m_block.resize(kBlock);
      m_begin = m_block.data();
      m_end = m_begin + kBlock;
    }
    m_flushed = m_begin;
  }

  std::uint8_t* Begin() const { return m_begin; }
  std::uint8_t* End() const { return m_end; }

  // Counts what lies between the last flush and `o` as written and hands it to the output
  // stream; `o` then starts the block again. The caller's buffer is not passed anywhere, so
  // a full one means the stream holds more than it promised room for.
  bool Flush(std::uint8_t*& o, std::int64_t& written) {
    written += o - m_flushed;
    if (!m_output) {
      m_flushed = o;
      return true;
    }
    const bool ok =
        o == m_flushed || m_output->Write(m_flushed, static_cast<std::size_t>(o - m_flushed));
    o = m_flushed = m_begin;
    return ok;
  }
  bool IsBuffer() const { return !m_output; }

 private:
  HuffmanOutput* m_output;
  std::vector<std::uint8_t> m_block;
  std::uint8_t* m_begin;
  std::uint8_t* m_end;
  std::uint8_t* m_flushed;
};

}  // namespace

THuffmanDecoder::THuffmanDecoder() { m_tree.SetCountSource(false); }

HuffmanStatus THuffmanDecoder::Decode() {
  m_headerComplete = false;
  m_symbolCount = 0;
  m_symbolsWritten = 0;
  if (!m_input || (!m_output && !m_outputBuffer)) return HuffmanStatus::NoStream;
  if (!m_input->Rewind()) return HuffmanStatus::ReadError;

  std::uint8_t header[kHuffmanHeaderSize];
  const std::ptrdiff_t got = m_input->Read(header, sizeof header);
  if (got < 0) return HuffmanStatus::ReadError;
  // A stream without its whole header carries no usable counts: it decodes to nothing.
  if (static_cast<std::size_t>(got) < sizeof header) return HuffmanStatus::Ok;
  m_headerComplete = true;
  m_symbolCount = static_cast<std::int64_t>(Load64(header));
  THuffmanCounts& counts = m_tree.Counts();
  for (int s = 0; s < 256; ++s) {
    std::uint32_t c = 0;
    for (int k = 3; k >= 0; --k) c = (c << 8) | header[8 + 4 * s + k];
    counts[s] = static_cast<std::int32_t>(c);
  }
  m_tree.Build();
  // No positive count means no tree to walk, whatever the symbol count says.
  if (m_symbolCount <= 0 || !m_tree.HasRoot()) return HuffmanStatus::Ok;
  if (m_outputBuffer && static_cast<std::uint64_t>(m_symbolCount) > m_outputCapacity)
    return HuffmanStatus::WriteError;
  const THuffmanTree::Node& root = m_tree.NodeAt(m_tree.Root());
  if (root.IsLeaf()) return DecodeSingleLeaf(root.symbol);
  return DecodeTree();
}

// The walk never leaves a single-leaf root: every bit position yields the symbol.
HuffmanStatus THuffmanDecoder::DecodeSingleLeaf(std::uint8_t symbol) {
  std::vector<std::uint8_t> in(kBlock);
  ByteSink sink(m_output, m_outputBuffer, m_outputCapacity);
  std::uint8_t* o = sink.Begin();
  std::int64_t remaining = m_symbolCount;
  for (;;) {
    const std::ptrdiff_t got = m_input->Read(in.data(), kBlock);
    if (got < 0) return HuffmanStatus::ReadError;
    std::int64_t emit = std::min(remaining, static_cast<std::int64_t>(got) * 8);
    remaining -= emit;
    while (emit > 0) {
      if (o == sink.End() && (sink.IsBuffer() || !sink.Flush(o, m_symbolsWritten)))
        return HuffmanStatus::WriteError;
      const std::size_t take = static_cast<std::size_t>(
          std::min<std::int64_t>(emit, static_cast<std::int64_t>(sink.End() - o)));
      std::memset(o, symbol, take);
      o += take;
      emit -= static_cast<std::int64_t>(take);
    }
    if (remaining == 0 || static_cast<std::size_t>(got) != kBlock) break;
  }
  if (!sink.Flush(o, m_symbolsWritten)) return HuffmanStatus::WriteError;
  return HuffmanStatus::Ok;
}

namespace {

// Reads the data part in blocks of kBlock bytes, keeping the few unread bytes of the
// previous block in front of the next one so that codes may straddle blocks. A stream that
// lies in memory is read in place, as one block.
class BitReader {
 public:
  explicit BitReader(HuffmanInput& input) : m_input(input) {
    std::string_view whole;
    if (input.InMemory(whole) && whole.size() >= kHuffmanHeaderSize) {
      m_data = reinterpret_cast<const std::uint8_t*>(whole.data()) + kHuffmanHeaderSize;
      m_avail = whole.size() - kHuffmanHeaderSize;
      m_inMemory = true;
      m_eof = true;
    } else {
      m_buffer.resize(kBlock + 16);
      m_data = m_buffer.data();
    }
  }

  // False on a read error.
  bool Refill() {
    if (m_inMemory) return true;
    const std::size_t byte = m_bitPos >> 3;
    const std::size_t keep = m_avail - std::min(byte, m_avail);
    std::memmove(m_buffer.data(), m_buffer.data() + byte, keep);
    m_bitPos &= 7;
    m_avail = keep;
    const std::ptrdiff_t got = m_input.Read(m_buffer.data() + keep, kBlock);
    if (got < 0) return false;
    m_avail += static_cast<std::size_t>(got);
    if (static_cast<std::size_t>(got) != kBlock) m_eof = true;
    return true;
  }

  // Whether the bit position p exists, reading on when needed.
  bool HasPosition(bool& readError) {
    while ((m_bitPos >> 3) >= m_avail) {
      if (m_eof) return false;
      if (!Refill()) {
        readError = true;
        return false;
      }
    }
    return true;
  }

  unsigned Bit() const { return (m_data[m_bitPos >> 3] >> (m_bitPos & 7)) & 1u; }

  const std::uint8_t* Data() const { return m_data; }
  std::size_t& BitPos() { return m_bitPos; }
  std::size_t Avail() const { return m_avail; }
  bool Eof() const { return m_eof; }

 private:
  HuffmanInput& m_input;
  std::vector<std::uint8_t> m_buffer;
  const std::uint8_t* m_data = nullptr;
  std::size_t m_avail = 0;
  std::size_t m_bitPos = 0;
  bool m_inMemory = false;
  bool m_eof = false;
};

constexpr unsigned kTableBits = 12;
constexpr int kEntrySymbols = 4;

// What the next kTableBits bits of the stream hold: the codes that end within them (at most
// four), their symbols and the bits they take together. count 0: the first code is longer.
struct TableEntry {
  std::uint8_t symbols[kEntrySymbols];
  std::uint8_t count;
  std::uint8_t bits;
  std::uint8_t firstBits;  // the first code's alone
  std::uint8_t unused;
};
static_assert(sizeof(TableEntry) == 8);

// A round: one 64-bit load, of which at least 57 bits are the stream's, read by four entries.
constexpr int kRoundEntries = 4;
constexpr std::size_t kRoundSymbols = kRoundEntries * kEntrySymbols;
constexpr std::size_t kRoundBytes = kRoundEntries * kTableBits / 8;
static_assert(kRoundEntries * kTableBits <= 57);

}  // namespace

// A symbol is emitted when the walk stands on a leaf at an existing bit position, so the
// last code counts only when at least one bit position follows it. Fast path: table rounds,
// used only where 64 bits of the buffer lie ahead, which keeps every emitted code clear of
// the stream's last position; the rest walks bit by bit.
HuffmanStatus THuffmanDecoder::DecodeTree() {
  struct Child {
    std::int16_t next[2];
  };
  // Inner nodes are appended after their children, so the root is the last node.
  const int nodeCount = m_tree.Root() + 1;
  std::vector<Child> children(static_cast<std::size_t>(nodeCount));
  std::vector<std::uint8_t> symbolOf(static_cast<std::size_t>(nodeCount));
  for (int k = 0; k < nodeCount; ++k) {
    const auto& node = m_tree.NodeAt(k);
    children[k].next[0] = node.left;
    children[k].next[1] = node.right;
    symbolOf[k] = node.symbol;
  }
  const int root = m_tree.Root();
  const auto isInner = [&](int node) { return children[node].next[0] >= 0; };

  std::vector<TableEntry> table(std::size_t{1} << kTableBits);
  for (std::uint32_t index = 0; index < table.size(); ++index) {
    TableEntry& e = table[index];
    e = TableEntry{};
    unsigned depth = 0;
    while (e.count < kEntrySymbols) {
      int node = root;
      unsigned d = depth;
      while (isInner(node) && d < kTableBits) {
        node = children[node].next[(index >> d) & 1u];
        ++d;
      }
      if (isInner(node)) break;
      e.symbols[e.count++] = symbolOf[node];
      if (e.count == 1) e.firstBits = static_cast<std::uint8_t>(d);
      depth = d;
    }
    e.bits = static_cast<std::uint8_t>(depth);
  }

  BitReader reader(*m_input);
  if (!reader.Refill()) return HuffmanStatus::ReadError;
  ByteSink sink(m_output, m_outputBuffer, m_outputCapacity);
  std::uint8_t* const outEnd = sink.End();
  std::uint8_t* o = sink.Begin();
  std::int64_t remaining = m_symbolCount;
  const TableEntry* const tab = table.data();
  constexpr std::uint64_t kMask = (std::uint64_t{1} << kTableBits) - 1;

  while (remaining > 0) {
    if (o == outEnd && (sink.IsBuffer() || !sink.Flush(o, m_symbolsWritten)))
      return HuffmanStatus::WriteError;
    const std::uint8_t* const in = reader.Data();
    const std::size_t avail = reader.Avail();
    std::size_t bitPos = reader.BitPos();

    // Whole rounds while every load stays 8 bytes clear of the input's end and each entry's
    // four-byte store stays inside the output.
    if ((bitPos >> 3) + 8 <= avail) {
      std::size_t rounds = std::min((avail - 8 - (bitPos >> 3)) / kRoundBytes + 1,
                                    static_cast<std::size_t>(outEnd - o) / kRoundSymbols);
      rounds = std::min(rounds, static_cast<std::size_t>(remaining / kRoundSymbols));
      std::uint8_t* op = o;
      std::size_t k = 0;
      for (; k < rounds; ++k) {
        std::uint64_t w = Load64(in + (bitPos >> 3)) >> (bitPos & 7);
        unsigned used = 0;
        const TableEntry* e = nullptr;
        // An entry of count 0 takes no bits, so the entries after it are the same one.
        for (int r = 0; r < kRoundEntries; ++r) {
          e = &tab[w & kMask];
          std::memcpy(op, e->symbols, kEntrySymbols);
          op += e->count;
          w >>= e->bits;
          used += e->bits;
        }
        bitPos += used;
        if (!e->count) break;
      }
      remaining -= op - o;
      o = op;
      reader.BitPos() = bitPos;
      if (rounds > 0 && k == rounds) continue;
      if (remaining == 0) break;
      if (o == outEnd) continue;
    }

    // One symbol: a long code from a loaded word, else bit by bit at the stream's end.
    if ((bitPos >> 3) + 8 <= avail) {
      const std::uint64_t w = Load64(in + (bitPos >> 3)) >> (bitPos & 7);
      const TableEntry& e = tab[w & kMask];
      if (e.count) {
        *o++ = e.symbols[0];
        reader.BitPos() = bitPos + e.firstBits;
        --remaining;
        continue;
      }
      // At most 56 bits, so that the position after the code lies inside the buffer.
      int node = root;
      unsigned length = 0;
      while (isInner(node) && length < 56) {
        node = children[node].next[(w >> length) & 1u];
        ++length;
      }
      if (!isInner(node)) {
        *o++ = symbolOf[node];
        reader.BitPos() = bitPos + length;
        --remaining;
        continue;
      }
    } else if (!reader.Eof()) {
      if (!reader.Refill()) return HuffmanStatus::ReadError;
      continue;
    }
    bool readError = false;
    int node = root;
    bool emitted = false;
    for (;;) {
      if (!reader.HasPosition(readError)) break;
      if (!isInner(node)) {
        *o++ = symbolOf[node];
        --remaining;
        emitted = true;
        break;
      }
      node = children[node].next[reader.Bit()];
      ++reader.BitPos();
    }
    if (readError) return HuffmanStatus::ReadError;
    if (!emitted) break;
  }
  if (!sink.Flush(o, m_symbolsWritten)) return HuffmanStatus::WriteError;
  return HuffmanStatus::Ok;
}

// ---------------------------------------------------------------------------------------

HuffmanStatus HuffmanEncode(std::string_view data, std::string& stream) {
  MemoryInput input(data);
  StringOutput output;
  THuffmanEncoder encoder;
  encoder.SetInput(&input);
  encoder.SetOutput(&output);
  const HuffmanStatus status = encoder.Encode();
  stream = std::move(output.Data());
  return status;
}

HuffmanStatus HuffmanDecode(std::string_view stream, std::string& data) {
  MemoryInput input(stream);
  StringOutput output;
  THuffmanDecoder decoder;
  decoder.SetInput(&input);
  decoder.SetOutput(&output);
  const HuffmanStatus status = decoder.Decode();
  data = std::move(output.Data());
  return status;
}

}  // namespace kov
