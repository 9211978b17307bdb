#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "backup/Huffman.h"

using namespace kov;

namespace {

std::string Encode(const std::string& data) {
  std::string stream;
  EXPECT_EQ(HuffmanEncode(data, stream), HuffmanStatus::Ok);
  return stream;
}

std::string Decode(const std::string& stream) {
  std::string data;
  EXPECT_EQ(HuffmanDecode(stream, data), HuffmanStatus::Ok);
  return data;
}

std::string CodeText(const THuffmanCode& code) {
  std::string text;
  for (auto bit : code) text += bit ? '1' : '0';
  return text;
}

THuffmanTree TreeOf(const std::string& data) {
  MemoryInput input(data);
  THuffmanTree tree;
  tree.SetSource(&input);
  EXPECT_EQ(tree.Build(), HuffmanStatus::Ok);
  return tree;
}

std::string Header(std::int64_t symbols, const std::vector<std::pair<int, std::int32_t>>& counts) {
  std::string h(kHuffmanHeaderSize, '\0');
  for (int k = 0; k < 8; ++k)
    h[k] = static_cast<char>(static_cast<std::uint64_t>(symbols) >> (8 * k));
  for (auto [symbol, count] : counts) {
    for (int k = 0; k < 4; ++k) {
      h[8 + 4 * symbol + k] = static_cast<char>(static_cast<std::uint32_t>(count) >> (8 * k));
    }
  }
  return h;
}

// The decoder as the format describes it: one bit position at a time, a symbol emitted
// when the walk stands on a leaf at an existing position.
std::string ReferenceDecode(const std::string& stream) {
  if (stream.size() < kHuffmanHeaderSize) return {};
  std::int64_t remaining = 0;
  std::memcpy(&remaining, stream.data(), 8);
  THuffmanTree tree;
  tree.SetCountSource(false);
  for (int s = 0; s < 256; ++s) std::memcpy(&tree.Counts()[s], stream.data() + 8 + 4 * s, 4);
  tree.Build();
  std::string out;
  if (!tree.HasRoot()) return out;
  const int root = tree.Root();
  int node = root;
  for (std::size_t i = kHuffmanHeaderSize; i < stream.size(); ++i) {
    const auto byte = static_cast<std::uint8_t>(stream[i]);
    for (int bit = 0; bit < 8 && remaining > 0; ++bit) {
      if (tree.NodeAt(node).IsLeaf()) {
        out += static_cast<char>(tree.NodeAt(node).symbol);
        node = root;
        --remaining;
      }
      if (!tree.NodeAt(root).IsLeaf()) {
        node = ((byte >> bit) & 1) ? tree.NodeAt(node).right : tree.NodeAt(node).left;
      }
    }
  }
  return out;
}

// The same decode into the caller's memory, sized from the header as the restore view does;
// the stream itself when its count is more than its bit positions (refused before decoding).
std::string DecodeInPlace(const std::string& stream) {
  std::int64_t symbols = 0;
  if (stream.size() >= 8) std::memcpy(&symbols, stream.data(), 8);
  if (symbols > static_cast<std::int64_t>(stream.size()) * 8) return ReferenceDecode(stream);
  const std::size_t capacity = symbols > 0 ? static_cast<std::size_t>(symbols) : 0;
  std::vector<std::uint8_t> buffer(capacity + 1);
  MemoryInput input(stream);
  THuffmanDecoder decoder;
  decoder.SetInput(&input);
  decoder.SetOutputBuffer(buffer.data(), capacity);
  EXPECT_EQ(decoder.Decode(), HuffmanStatus::Ok);
  return std::string(reinterpret_cast<const char*>(buffer.data()),
                     static_cast<std::size_t>(decoder.SymbolsWritten()));
}

std::string RandomText(std::mt19937& rng, std::size_t size, int alphabet, double skew) {
  std::vector<double> weights(static_cast<std::size_t>(alphabet));
  for (int i = 0; i < alphabet; ++i) weights[i] = 1.0 / std::pow(i + 1.0, skew);
  std::discrete_distribution<int> pick(weights.begin(), weights.end());
  std::string text(size, '\0');
  for (auto& c : text) c = static_cast<char>(pick(rng));
  return text;
}

}  // namespace

TEST(HuffmanVectors, AbcGivesOneDataByte) {
  const std::string stream = Encode("abc");
  ASSERT_EQ(stream.size(), 1033u);
  EXPECT_EQ(stream.substr(0, 8), std::string("\x03\0\0\0\0\0\0\0", 8));
  for (int s = 0; s < 256; ++s) {
    std::int32_t count;
    std::memcpy(&count, stream.data() + 8 + 4 * s, 4);
    EXPECT_EQ(count, (s >= 'a' && s <= 'c') ? 1 : 0) << s;
  }
  EXPECT_EQ(static_cast<std::uint8_t>(stream[1032]), 0x0E);
  EXPECT_EQ(Decode(stream), "abc");

  const THuffmanTree tree = TreeOf("abc");
  EXPECT_EQ(CodeText(tree.Codes()['a']), "0");
  EXPECT_EQ(CodeText(tree.Codes()['c']), "10");
  EXPECT_EQ(CodeText(tree.Codes()['b']), "11");
}

TEST(HuffmanVectors, ListSortSwapsEqualWeights) {
  struct Case {
    std::string data;
    std::vector<std::pair<char, std::string>> codes;
  };
  const std::vector<Case> cases = {
      {"ab", {{'a', "1"}, {'b', "0"}}},
      {"abcd", {{'b', "00"}, {'a', "01"}, {'c', "10"}, {'d', "11"}}},
      {"aab", {{'b', "0"}, {'a', "1"}}},
      {"abb", {{'a', "0"}, {'b', "1"}}},
  };
  for (const auto& c : cases) {
    const THuffmanTree tree = TreeOf(c.data);
    for (const auto& [symbol, code] : c.codes) {
      EXPECT_EQ(CodeText(tree.Codes()[static_cast<std::uint8_t>(symbol)]), code)
          << c.data << " symbol " << symbol;
    }
    EXPECT_EQ(Decode(Encode(c.data)), c.data);
  }
}

TEST(HuffmanVectors, DataPartEndsWithOneMoreByte) {
  struct Case {
    std::string data;
    std::string dataPart;
  };
  const std::vector<Case> cases = {
      {"", std::string(1, '\0')},
      {std::string(8, 'x'), std::string("\xFF\x00", 2)},
      {std::string(16, 'x'), std::string("\xFF\xFF\x00", 3)},
      {std::string(7, 'x'), std::string("\x7F", 1)},
      // b = 0 and a = 1: sixteen one-bit codes fill two bytes exactly.
      {"abababababababab", std::string("\x55\x55\x00", 3)},
  };
  for (const auto& c : cases) {
    const std::string stream = Encode(c.data);
    ASSERT_EQ(stream.size(), kHuffmanHeaderSize + c.dataPart.size()) << c.data;
    EXPECT_EQ(stream.substr(kHuffmanHeaderSize), c.dataPart) << c.data;
    EXPECT_EQ(Decode(stream), c.data);
    // Without its last byte the stream loses the last symbol (a single leaf needs no
    // position after its code: every position is a symbol).
    if (c.data.find('b') != std::string::npos) {
      EXPECT_EQ(Decode(stream.substr(0, stream.size() - 1)).size(), c.data.size() - 1);
    }
  }
  const THuffmanTree single = TreeOf(std::string(8, 'x'));
  EXPECT_EQ(CodeText(single.Codes()['x']), "1");
}

TEST(HuffmanRoundTrip, RandomInputs) {
  std::mt19937 rng(1234);
  struct Case {
    std::size_t size;
    int alphabet;
    double skew;
  };
  const std::vector<Case> cases = {
      {1, 256, 0},       {2, 2, 0},          {100, 3, 1},         {65535, 256, 0},
      {65536, 40, 1.2},  {200000, 256, 1.5}, {300001, 95, 0.8},   {131070, 2, 0},
      {70000, 256, 3.0}, {1000, 1, 0},       {65535 * 3, 256, 2},
  };
  for (const auto& c : cases) {
    const std::string data = RandomText(rng, c.size, c.alphabet, c.skew);
    const std::string stream = Encode(data);
    EXPECT_EQ(Decode(stream), data) << c.size << " " << c.alphabet;
  }
}

// Fibonacci counts give the deepest tree a given length allows: codes of up to 29 bits
// take the encoder's and the decoder's paths for long codes.
TEST(HuffmanRoundTrip, LongCodes) {
  std::string data;
  std::uint32_t a = 1, b = 1;
  for (int s = 0; s < 30; ++s) {
    data.append(a, static_cast<char>('A' + s));
    const std::uint32_t next = a + b;
    a = b;
    b = next;
  }
  std::shuffle(data.begin(), data.end(), std::mt19937(7));
  std::size_t longest = 0;
  const THuffmanTree tree = TreeOf(data);
  for (const auto& code : tree.Codes()) longest = std::max(longest, code.size());
  EXPECT_GT(longest, 28u);
  EXPECT_EQ(Decode(Encode(data)), data);
}

TEST(HuffmanDecoder, TruncatedStreamsMatchTheBitWalk) {
  std::mt19937 rng(99);
  const std::string data = RandomText(rng, 3000, 60, 1.0);
  const std::string stream = Encode(data);
  for (std::size_t length = 0; length <= stream.size(); ++length) {
    const std::string cut = stream.substr(0, length);
    const std::string expected = ReferenceDecode(cut);
    ASSERT_EQ(Decode(cut), expected) << length;
    ASSERT_EQ(DecodeInPlace(cut), expected) << length;
  }
  EXPECT_TRUE(Decode(stream.substr(0, 1031)).empty());
}

TEST(HuffmanDecoder, GarbageMatchesTheBitWalk) {
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<std::uint32_t> any;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::pair<int, std::int32_t>> counts;
    const int used = round % 7 == 0 ? 256 : 1 + round % 40;
    for (int k = 0; k < used; ++k) {
      const int kind = byte(rng) % 4;
      std::int32_t count = kind == 0   ? static_cast<std::int32_t>(any(rng))
                           : kind == 1 ? 0x7FFFFFFF - byte(rng)
                                       : 1 + byte(rng);
      counts.emplace_back(byte(rng), count);
    }
    const std::int64_t symbols = round % 5 == 0 ? -1 : static_cast<std::int64_t>(any(rng) % 200000);
    std::string stream = Header(symbols, counts);
    const std::size_t dataSize = any(rng) % 140000;
    for (std::size_t k = 0; k < dataSize; ++k) stream += static_cast<char>(byte(rng));
    const std::string expected = ReferenceDecode(stream);
    ASSERT_EQ(Decode(stream), expected) << "round " << round;
    ASSERT_EQ(DecodeInPlace(stream), expected) << "round " << round;
  }
}

TEST(HuffmanDecoder, DegenerateHeaders) {
  const std::string bits(20000, '\xA5');
  // Counts near the 32-bit limit wrap when added: the tree becomes a chain 255 deep.
  std::vector<std::pair<int, std::int32_t>> full;
  for (int s = 0; s < 256; ++s) full.emplace_back(s, 0x7FFFFFFF);
  std::size_t longest = 0;
  {
    THuffmanTree tree;
    tree.SetCountSource(false);
    tree.Counts().fill(0x7FFFFFFF);
    tree.Build();
    for (const auto& code : tree.Codes()) longest = std::max(longest, code.size());
  }
  EXPECT_GT(longest, 64u);

  const std::vector<std::string> streams = {
      "",
      std::string(10, '\x01'),
      Header(100, {}) + bits,                        // a count but no byte occurs
      Header(100, {{'a', -5}, {'b', 0}}) + bits,     // only non-positive counts
      Header(0, {{'a', 3}, {'b', 4}}) + bits,        // no symbols
      Header(-7, {{'a', 3}, {'b', 4}}) + bits,       // negative symbol count
      Header(1000000, {{'a', 1}, {'b', 2}}) + bits,  // count beyond the data
      Header(1000000, {{'q', 9}}) + bits,            // single leaf: one symbol per bit
      Header(5, {{'q', 9}}),                         // single leaf, no data byte
      Header(5, {{'a', 1}, {'b', 1}}) + "\x01",      // last code ends at the last bit
      Header(1000000, full) + bits,
  };
  for (const auto& stream : streams) {
    EXPECT_EQ(Decode(stream), ReferenceDecode(stream)) << stream.size();
    EXPECT_EQ(DecodeInPlace(stream), ReferenceDecode(stream)) << stream.size();
  }
  EXPECT_EQ(Decode(Header(1000000, {{'q', 9}}) + bits), std::string(160000, 'q'));
  EXPECT_EQ(Decode(Header(5, {{'a', 1}, {'b', 1}}) + "\x01").size(), 5u);
}

TEST(HuffmanDecoder, ReportsIncompleteStreams) {
  const std::string stream = Encode("hello world");
  struct Case {
    std::string stream;
    bool header;
    bool complete;
  };
  const std::vector<Case> cases = {
      {stream, true, true},
      {stream.substr(0, stream.size() - 1), true, false},
      {stream.substr(0, 500), false, false},
  };
  for (const auto& c : cases) {
    MemoryInput input(c.stream);
    StringOutput output;
    THuffmanDecoder decoder;
    decoder.SetInput(&input);
    decoder.SetOutput(&output);
    EXPECT_EQ(decoder.Decode(), HuffmanStatus::Ok);
    EXPECT_EQ(decoder.HeaderComplete(), c.header);
    EXPECT_EQ(decoder.Complete(), c.complete);
    EXPECT_EQ(decoder.SymbolsWritten(), static_cast<std::int64_t>(output.Data().size()));
  }
}

namespace {

class FailingOutput final : public HuffmanOutput {
 public:
  explicit FailingOutput(std::size_t limit) : m_limit(limit) {}
  bool Write(const std::uint8_t*, std::size_t size) override {
    if (m_written + size > m_limit) return false;
    m_written += size;
    return true;
  }

 private:
  std::size_t m_limit;
  std::size_t m_written = 0;
};

class FailingInput final : public HuffmanInput {
 public:
  explicit FailingInput(std::string data) : m_data(std::move(data)) {}
  bool Rewind() override {
    ++m_rewinds;
    m_pos = 0;
    return true;
  }
  std::ptrdiff_t Read(std::uint8_t* data, std::size_t size) override {
    if (m_rewinds > 1) return -1;  // the second pass fails
    const std::size_t n = std::min(size, m_data.size() - m_pos);
    std::memcpy(data, m_data.data() + m_pos, n);
    m_pos += n;
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string m_data;
  std::size_t m_pos = 0;
  int m_rewinds = 0;
};

}  // namespace

TEST(HuffmanStreams, ErrorsReachTheCaller) {
  const std::string data(200000, 'z');
  {
    MemoryInput input(data);
    FailingOutput output(10000);
    THuffmanEncoder encoder;
    encoder.SetInput(&input);
    encoder.SetOutput(&output);
    EXPECT_EQ(encoder.Encode(), HuffmanStatus::WriteError);
  }
  {
    FailingInput input(data);
    StringOutput output;
    THuffmanEncoder encoder;
    encoder.SetInput(&input);
    encoder.SetOutput(&output);
    EXPECT_EQ(encoder.Encode(), HuffmanStatus::ReadError);
  }
  {
    const std::string stream = Encode(data);
    MemoryInput input(stream);
    FailingOutput output(1000);
    THuffmanDecoder decoder;
    decoder.SetInput(&input);
    decoder.SetOutput(&output);
    EXPECT_EQ(decoder.Decode(), HuffmanStatus::WriteError);
  }
  for (const std::string& text : {std::string(5000, 'z'), std::string("abcabcabd")}) {
    // A buffer one byte short of the count: refused before any byte is written.
    const std::string stream = Encode(text);
    std::vector<std::uint8_t> buffer(text.size(), 0);
    MemoryInput input(stream);
    THuffmanDecoder decoder;
    decoder.SetInput(&input);
    decoder.SetOutputBuffer(buffer.data(), text.size() - 1);
    EXPECT_EQ(decoder.Decode(), HuffmanStatus::WriteError);
    EXPECT_EQ(decoder.SymbolsWritten(), 0);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0),
              static_cast<std::ptrdiff_t>(text.size()));
  }
  {
    THuffmanEncoder encoder;
    EXPECT_EQ(encoder.Encode(), HuffmanStatus::NoStream);
    THuffmanDecoder decoder;
    EXPECT_EQ(decoder.Decode(), HuffmanStatus::NoStream);
  }
}
