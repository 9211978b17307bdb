#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/IniFile.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using kov::IniFile;

namespace {

IniFile FromBytes(const std::string& bytes) {
  IniFile ini;
  ini.Parse(bytes);
  return ini;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class TempDir {
 public:
  TempDir() {
    m_path = fs::temp_directory_path() /
             ("kov-ini-test-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
  }
  const fs::path& path() const { return m_path; }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(m_path), fs::directory_iterator()));
  }

 private:
  static inline int s_next = 0;
  fs::path m_path;
};

}  // namespace

TEST(IniFileInteger, ParsesDecimalAndHexAndRejectsGarbage) {
  struct Case {
    const char* text;
    std::int32_t expected;  // 777 stands for "the default"
  };
  const Case cases[] = {
      {"10", 10},
      {"-5", -5},
      {"+7", 7},
      {"0", 0},
      {"$1F", 31},
      {"$1f", 31},
      {"0x1f", 31},
      {"0X10", 16},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"  42  ", 42},  // blanks around a value are not part of it
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", 777},
      {"$1FFFFFFFF", 777},
      {"", 777},
      {"$", 777},
      {"0x", 777},
      {"-", 777},
      {"abc", 777},
      {"12abc", 777},
      {"1.5", 777},
      {"1 2", 777},
      {"$G0", 777},
      {"0x1g", 777},
      {"1e3", 777},
  };
  for (const Case& c : cases) {
    const IniFile ini = FromBytes(std::string("[S]\r\nK=") + c.text + "\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 777), c.expected) << "value '" << c.text << "'";
  }
  EXPECT_EQ(FromBytes("[S]\r\n").ReadInteger("S", "K", 5), 5);
  EXPECT_EQ(FromBytes("").ReadInteger("S", "K", -3), -3);
}

TEST(IniFileBool, ReadsIntegersAnyNonZeroIsTrue) {
  struct Case {
    const char* text;
    bool defaultValue;
    bool expected;
  };
  const Case cases[] = {
      {"1", false, true},  {"0", true, false},     {"2", false, true},
      {"-1", false, true}, {"$0", true, false},    {"0x01", false, true},
      {"yes", true, true}, {"true", false, false}, {"", true, true},
  };
  for (const Case& c : cases) {
    const IniFile ini = FromBytes(std::string("[S]\nFLAG=") + c.text + "\n");
    EXPECT_EQ(ini.ReadBool("S", "FLAG", c.defaultValue), c.expected) << "value '" << c.text << "'";
  }
}

TEST(IniFileRead, SectionsAndKeysIgnoreLetterCase) {
  const IniFile ini =
      FromBytes("[settings]\r\nvornexdir=C:\\srv\\vornex.exe\r\n[Window]\r\nLeft=12\r\n");
  EXPECT_EQ(ini.ReadString("SETTINGS", "VORNEXDIR", "x"), "C:\\srv\\vornex.exe");
  EXPECT_EQ(ini.ReadInteger("WINDOW", "LEFT", 0), 12);
  EXPECT_EQ(ini.ReadInteger("window", "left", 0), 12);
}

TEST(IniFileRead, KeysBelongToTheirOwnSectionOnly) {
  const IniFile ini = FromBytes("TOP=1\r\n[A]\r\nX=1\r\n[B]\r\nY=2\r\n[A]\r\nY=3\r\n");
  EXPECT_EQ(ini.ReadString("A", "Y", "none"), "none") << "only the first [A] section counts";
  EXPECT_EQ(ini.ReadString("B", "X", "none"), "none");
  EXPECT_EQ(ini.ReadString("B", "Y", "none"), "2");
  EXPECT_EQ(ini.ReadString("A", "TOP", "none"), "none")
      << "a key before any section belongs to none";
}

TEST(IniFileRead, ValuesKeepTheirTextButNotSurroundingBlanks) {
  const IniFile ini =
      FromBytes("[S]\r\n  KEY =  a = b \"c\"  \r\nEMPTY=\r\n;COMMENT=1\r\nNOEQUALS\r\n");
  EXPECT_EQ(ini.ReadString("S", "KEY", ""), "a = b \"c\"");
  EXPECT_TRUE(ini.HasKey("S", "EMPTY"));
  EXPECT_EQ(ini.ReadString("S", "EMPTY", "dflt"), "");
  EXPECT_FALSE(ini.HasKey("S", ";COMMENT"));
  EXPECT_FALSE(ini.HasKey("S", "COMMENT"));
  EXPECT_FALSE(ini.HasKey("S", "NOEQUALS"));
}

TEST(IniFileRead, LineEndsAndNul) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"CR LF", "[S]\r\nA=1\r\nB=2\r\n"},
      {"LF", "[S]\nA=1\nB=2\n"},
      {"CR only", "[S]\rA=1\rB=2\r"},
      {"mixed, no final line end", "[S]\rA=1\nB=2"},
      {"NUL ends the text", std::string("[S]\r\nA=1\r\nB=2\r\n\0C=3\r\n", 21)},
  };
  for (const Case& c : cases) {
    const IniFile ini = FromBytes(c.bytes);
    EXPECT_EQ(ini.ReadInteger("S", "A", 0), 1) << c.name;
    EXPECT_EQ(ini.ReadInteger("S", "B", 0), 2) << c.name;
    EXPECT_FALSE(ini.HasKey("S", "C")) << c.name;
    EXPECT_EQ(ini.Serialize(), "[S]\r\nA=1\r\nB=2\r\n") << c.name;
  }
}

TEST(IniFileWrite, ReplacesInPlaceKeepingEveryOtherLine) {
  IniFile ini = FromBytes(
      "; kov settings\r\n"
      "[WINDOW]\r\n"
      "left=1\r\n"
      "CUSTOM=keep me\r\n"
      "\r\n"
      "[SETTINGS]\r\n"
      "# note\r\n"
      "LANG=1\r\n"
      "Other=\xE4\xF6\xFC\r\n");
  ASSERT_TRUE(ini.WriteInteger("window", "LEFT", 300));
  ASSERT_TRUE(ini.WriteInteger("SETTINGS", "LANG", 0));
  EXPECT_EQ(ini.Serialize(),
            "; kov settings\r\n"
            "[WINDOW]\r\n"
            "left=300\r\n"
            "CUSTOM=keep me\r\n"
            "\r\n"
            "[SETTINGS]\r\n"
            "# note\r\n"
            "LANG=0\r\n"
            "Other=\xE4\xF6\xFC\r\n");
}

TEST(IniFileWrite, AddsAtTheEndOfItsSectionOrAsANewSection) {
  IniFile ini =
      FromBytes("[WINDOW]\r\nLEFT=1\r\n; trailing comment\r\n\r\n[SETTINGS]\r\nLANG=1\r\n");
  ASSERT_TRUE(ini.WriteInteger("WINDOW", "TOP", 2));
  ASSERT_TRUE(ini.WriteBool("SETTINGS", "SHOWLOG", false));
  ASSERT_TRUE(ini.WriteString("EXTRA", "NAME", "x y"));
  EXPECT_EQ(ini.Serialize(),
            "[WINDOW]\r\nLEFT=1\r\n; trailing comment\r\nTOP=2\r\n\r\n"
            "[SETTINGS]\r\nLANG=1\r\nSHOWLOG=0\r\n"
            "\r\n[EXTRA]\r\nNAME=x y\r\n");
  EXPECT_EQ(ini.ReadString("EXTRA", "NAME", ""), "x y");

  IniFile empty;
  ASSERT_TRUE(empty.WriteBool("S", "F", true));
  EXPECT_EQ(empty.Serialize(), "[S]\r\nF=1\r\n");
}

TEST(IniFileWrite, RefusesLineBreaksThatWouldForgeKeys) {
  IniFile ini = FromBytes("[SETTINGS]\r\nVORNEXDIR=a\r\n");
  EXPECT_FALSE(ini.WriteString("SETTINGS", "VORNEXDIR", "b\r\nACCAUTOUPDATE=1"));
  EXPECT_FALSE(ini.WriteString("SETTINGS", "VORNEXDIR", "b\nc"));
  EXPECT_FALSE(ini.WriteString("SETTINGS", "VORNEXDIR", std::string("b\0c", 3)));
  EXPECT_FALSE(ini.WriteString("SETTINGS", "A=B", "c"));
  EXPECT_EQ(ini.Serialize(), "[SETTINGS]\r\nVORNEXDIR=a\r\n");
}

TEST(IniFileSave, RoundTripsThroughTheDisk) {
  TempDir dir;
  const fs::path file = dir.path() / "kov.ini";
  {
    IniFile missing(file.string());
    EXPECT_TRUE(missing.LoadError().empty());
    EXPECT_EQ(missing.Serialize(), "");
  }
  WriteAll(file, "[S]\rKEEP=\xE9t\xE9\rA=1");
  IniFile ini(file.string());
  ASSERT_TRUE(ini.WriteInteger("S", "A", 2));
  const IniFile::SaveResult r = ini.Save();
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(ReadAll(file), "[S]\r\nKEEP=\xE9t\xE9\r\nA=2\r\n");
  EXPECT_EQ(dir.EntryCount(), 1u) << "no temporary file is left behind";
}

#ifndef _WIN32
TEST(IniFileSave, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  const fs::path file = dir.path() / "kov.ini";
  const std::string old = "; mine\r\n[S]\r\nA=1\r\n";
  WriteAll(file, old);
  IniFile ini(file.string());
  ASSERT_TRUE(ini.WriteString("S", "LONG", std::string(4096, 'x')));

  // A file size limit makes the write fail even for root, like a full disk does.
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const IniFile::SaveResult r = ini.Save();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(file.string()), std::string::npos) << r.error;
  EXPECT_EQ(ReadAll(file), old);
  EXPECT_EQ(dir.EntryCount(), 1u) << "the temporary file is removed";
}

TEST(IniFileSave, ReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0)
    GTEST_SKIP()
        << "root writes into read-only folders; FailedWriteKeepsTheOldFile covers the failure";
  TempDir dir;
  const fs::path file = dir.path() / "kov.ini";
  const std::string old = "[S]\r\nA=1\r\n";
  WriteAll(file, old);
  IniFile ini(file.string());
  ASSERT_TRUE(ini.WriteInteger("S", "A", 2));
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
  const IniFile::SaveResult r = ini.Save();
  fs::permissions(dir.path(), fs::perms::owner_all);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(ReadAll(file), old);
}

TEST(IniFileSave, TargetThatCannotBeReplacedLeavesNoTemporaryFile) {
  TempDir dir;
  const fs::path target = dir.path() / "kov.ini";
  fs::create_directories(target / "inside");
  IniFile ini;
  ASSERT_TRUE(ini.WriteInteger("S", "A", 1));
  const IniFile::SaveResult r = ini.SaveAs(target.string());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(fs::is_directory(target / "inside"));
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(IniFileSave, KeepsTheFileModeAndWritesThroughASymlink) {
  TempDir dir;
  const fs::path real = dir.path() / "real.ini";
  const fs::path link = dir.path() / "kov.ini";
  WriteAll(real, "[S]\r\nA=1\r\n");
  ::chmod(real.c_str(), 0640);
  fs::create_symlink(real.filename(), link);
  IniFile ini(link.string());
  ASSERT_TRUE(ini.WriteInteger("S", "A", 2));
  ASSERT_TRUE(ini.Save().ok);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "[S]\r\nA=2\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(IniFileSave, UnreadableFileIsNotOverwritten) {
  TempDir dir;
  const fs::path file = dir.path() / "kov.ini";
  fs::create_directories(file);  // exists, but cannot be read as a file
  IniFile ini(file.string());
  EXPECT_FALSE(ini.LoadError().empty());
  ASSERT_TRUE(ini.WriteInteger("S", "A", 1));
  const IniFile::SaveResult r = ini.Save();
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(fs::is_directory(file));
}
#endif
