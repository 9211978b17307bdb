#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <vector>

#include "store/GeneratePassword.h"

namespace kov {
namespace {

class GeneratePasswordTest : public ::testing::Test {
 protected:
  void TearDown() override { SetRandomSource({}); }
};

TEST_F(GeneratePasswordTest, LengthAndAlphabet) {
  struct Case {
    int length;
    size_t expected;
  };
  for (const Case c : {Case{6, 6}, Case{1, 1}, Case{0, 1}, Case{-5, 1}, Case{200, 200}}) {
    const std::string pw = GeneratePassword(c.length);
    EXPECT_EQ(pw.size(), c.expected) << "length " << c.length;
    for (char ch : pw)
      EXPECT_NE(std::strchr(kPasswordAlphabet, ch), nullptr) << "character " << int(ch);
  }
}

TEST_F(GeneratePasswordTest, MapsBytesOntoTheAlphabetInOrder) {
  // 0 -> "a", 61 -> "0", 62 wraps to "a"; 248 and above are dropped (uniform draw).
  std::vector<unsigned char> bytes = {0, 61, 248, 255, 62, 25, 26, 51, 52, 247};
  SetRandomSource([&](unsigned char* out, size_t size) {
    for (size_t i = 0; i < size; ++i) out[i] = i < bytes.size() ? bytes[i] : 0;
    return true;
  });
  EXPECT_EQ(GeneratePassword(8), "a0azAZ10");
}

TEST_F(GeneratePasswordTest, FailingSourceStillGivesAFullPassword) {
  SetRandomSource([](unsigned char*, size_t) { return false; });
  const std::string pw = GeneratePassword(12);
  EXPECT_EQ(pw.size(), 12u);
}

TEST_F(GeneratePasswordTest, SystemSourceDoesNotRepeat) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) seen.insert(GeneratePassword(12));
  EXPECT_EQ(seen.size(), 200u);
}

TEST_F(GeneratePasswordTest, EveryCharacterIsReached) {
  std::array<int, 128> counts{};
  const std::string pw = GeneratePassword(62 * 200);
  for (char ch : pw) ++counts[static_cast<unsigned char>(ch)];
  for (int i = 0; i < kPasswordAlphabetSize; ++i)
    EXPECT_GT(counts[static_cast<unsigned char>(kPasswordAlphabet[i])], 100)
        << kPasswordAlphabet[i];
}

}  // namespace
}  // namespace kov
