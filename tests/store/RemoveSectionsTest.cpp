#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "store/RemoveSections.h"

namespace kov {
namespace {

namespace fs = std::filesystem;

struct Case {
  const char* label;
  std::string before;
  std::vector<std::string> names;
  std::string after;
  int removed;
};

TEST(RemoveSections, InMemory) {
  const std::string header = "// account update\r\n";
  const std::vector<Case> cases = {
      {"middle section, CR LF",
       header + "[a]\r\nPASSWORD=1\r\n[test]\r\nPASSWORD=2\r\n[b]\r\nX=3\r\n",
       {"test"},
       header + "[a]\r\nPASSWORD=1\r\n[b]\r\nX=3\r\n",
       1},
      {"last section without line end", "[a]\nP=1\n[test]\nP=2", {"test"}, "[a]\nP=1\n", 1},
      {"first section, LF", "[test]\nP=2\n[a]\nP=1\n", {"test"}, "[a]\nP=1\n", 1},
      {"prefix is another account",
       "[testing]\r\nP=1\r\n[Test]\r\nP=2\r\n[test]\r\nP=3\r\n",
       {"test"},
       "[testing]\r\nP=1\r\n[Test]\r\nP=2\r\n",
       1},
      {"two adjacent and a repeated name",
       "[x]\n[y]\nA=1\n[z]\n[x]\nB=2\n",
       {"x", "y"},
       "[z]\n",
       3},
      {"CR-only line ends and odd bytes kept",
       "[k]\rA=\xe4\r[d]\rB=2\r\r[k2]\r",
       {"d"},
       "[k]\rA=\xe4\r[k2]\r",
       1},
      {"the end marker is no account", "[a]\n[EOF]\n", {"EOF"}, "[a]\n[EOF]\n", 0},
      {"no match leaves the bytes", "[a]\nP=1\n", {"b"}, "[a]\nP=1\n", 0},
      {"no names", "[a]\n", {}, "[a]\n", 0},
      {"NUL bytes elsewhere kept",
       std::string("[a]\nC=\0x\n[d]\nP\n", 15),
       {"d"},
       std::string("[a]\nC=\0x\n", 9),
       1},
  };
  for (const Case& c : cases) {
    std::string bytes = c.before;
    EXPECT_EQ(RemoveAccountSectionsFrom(bytes, c.names), c.removed) << c.label;
    EXPECT_EQ(bytes, c.after) << c.label;
  }
}

class RemoveSectionsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("kov-rmsec-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    m_path = (m_dir / "VornexAcct.scp").string();
  }
  void TearDown() override { fs::remove_all(m_dir); }
  void Write(const std::string& bytes) { std::ofstream(m_path, std::ios::binary) << bytes; }
  std::string Read() {
    std::ifstream in(m_path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path m_dir;
  std::string m_path;
};

TEST_F(RemoveSectionsFile, RewritesOnlyWhenSomethingGoes) {
  Write("[keep]\r\nPASSWORD=x\r\n[gone]\r\nPASSWORD=y\r\n");
  const auto before = fs::last_write_time(m_path);
  auto r = RemoveAccountSections(m_path, {"other"});
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.removed, 0);
  EXPECT_EQ(fs::last_write_time(m_path), before);

  r = RemoveAccountSections(m_path, {"gone"});
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.removed, 1);
  EXPECT_EQ(Read(), "[keep]\r\nPASSWORD=x\r\n");
  // No temporary file is left beside it.
  int files = 0;
  for (auto& e : fs::directory_iterator(m_dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(RemoveSectionsFile, MissingFileIsNothingToDo) {
  const auto r = RemoveAccountSections(m_path, {"a"});
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.removed, 0);
  EXPECT_FALSE(fs::exists(m_path));
}

TEST_F(RemoveSectionsFile, UnreadablePathIsReported) {
  fs::create_directories(m_path);  // a folder where the file should be
  const auto r = RemoveAccountSections(m_path, {"a"});
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_TRUE(fs::is_directory(m_path));
}

}  // namespace
}  // namespace kov
