#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "chars/CharacterFile.h"

namespace {

using kov::CharacterFileStatus;
using kov::CharacterReadResult;
using kov::CharacterRecord;
using kov::ReadCharacterText;

enum Label {
  kAccount,
  kCreate,
  kName,
  kTitle,
  kPosition,
  kDeaths,
  kKills,
  kFood,
  kHome,
  kSkillClass,
  kStr,
  kDex,
  kInt,
  kHits,
  kStam,
  kMana
};

using Skills = std::vector<std::pair<std::string, std::string>>;

// Text with NUL bytes in it.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// Chunk sizes that put buffer edges inside keys, serial lines and CR LF pairs.
const std::vector<std::size_t> kChunks = {1, 2, 3, 7, 13, 64, kov::kDefaultCharacterChunk};

CharacterReadResult ReadAll(const std::string& text, const std::string& uid) {
  CharacterReadResult first = ReadCharacterText(text, uid, kChunks.front());
  for (std::size_t chunk : kChunks) {
    CharacterReadResult r = ReadCharacterText(text, uid, chunk);
    EXPECT_EQ(r.status, first.status) << "chunk " << chunk;
    EXPECT_EQ(r.record, first.record) << "chunk " << chunk;
  }
  return first;
}

// A save file with the character's lines in one section between two others.
std::string Section(const std::vector<std::string>& lines) {
  std::string text = "[WORLDCHAR c_man]\r\nSERIAL=0x1\r\nNAME=First\r\nSTR=1\r\n";
  text += "[WORLDCHAR c_man]\r\nSERIAL=0x40\r\n";
  for (const auto& l : lines) text += l + "\r\n";
  text += "[WORLDITEM i_gold]\r\nSERIAL=0x41\r\nNAME=Gold\r\nALCHEMY=9\r\n[EOF]\r\n";
  return text;
}

struct LineCase {
  const char* what;
  std::vector<std::string> lines;
  int label;          // general label checked, or -1
  std::string shown;  // its text
  Skills skills;      // grid rows expected
};

class CharacterLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(CharacterLines, ShowsWhatTheFileHolds) {
  const LineCase& c = GetParam();
  const CharacterReadResult r = ReadAll(Section(c.lines), "0x40");
  ASSERT_EQ(r.status, CharacterFileStatus::Found);
  if (c.label >= 0) {
    EXPECT_EQ(r.record.general[c.label], c.shown);
  }
  EXPECT_EQ(r.record.skills, c.skills);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CharacterLines,
    ::testing::Values(
        LineCase{"lower-case key, value as written", {"name=Bob"}, kName, "Bob", {}},
        LineCase{"value keeps case and blanks", {"TITLE= the Brave "}, kTitle, " the Brave ", {}},
        LineCase{"position key includes =", {"P=1496,1628,10"}, kPosition, "1496,1628,10", {}},
        LineCase{"key matched by its beginning", {"STRENGTH=3"}, kStr, "NGTH=3", {}},
        LineCase{"STR then OSTR", {"STR=50", "NAME=x", "OSTR=45"}, kStr, "45", {}},
        LineCase{"OSTR then STR", {"OSTR=45", "STR=50"}, kStr, "50", {}},
        LineCase{"ODEX then DEX", {"DEX=20", "ODEX=21"}, kDex, "21", {}},
        LineCase{"INT and OINT", {"OINT=7", "INT=8"}, kInt, "8", {}},
        LineCase{"empty value empties", {"NAME=Bob", "NAME="}, kName, "", {}},
        LineCase{"key without = empties", {"NAME=Bob", "NAME"}, kName, "", {}},
        LineCase{"line shorter than key", {"SKILLCLAS"}, kSkillClass, "", {}},
        LineCase{"later line wins", {"HITS=10", "HITS=12"}, kHits, "12", {}},
        LineCase{"skill from mixed case", {"Alchemy=500"}, -1, "", {{"Alchemy", "500"}}},
        LineCase{"skills in first-occurrence order",
                 {"CAMPING=750", "bowcraft=300"},
                 -1,
                 "",
                 {{"Camping", "750"}, {"Bowcraft", "300"}}},
        LineCase{"repeated skill keeps its row",
                 {"MAGERY=100", "TACTICS=200", "MAGERY=1000"},
                 -1,
                 "",
                 {{"Magery", "1000"}, {"Tactics", "200"}}},
        LineCase{"empty skill removes its row",
                 {"MAGERY=100", "TACTICS=200", "MAGERY="},
                 -1,
                 "",
                 {{"Tactics", "200"}}},
        LineCase{"removed skill comes back last",
                 {"MAGERY=1", "TACTICS=2", "MAGERY", "MAGERY=3"},
                 -1,
                 "",
                 {{"Tactics", "2"}, {"Magery", "3"}}},
        LineCase{"skill value is upper-cased", {"fishing=1a"}, -1, "", {{"Fishing", "1A"}}},
        LineCase{"skill name as shown",
                 {"LOCKPICKING=5", "itemid=6", "TASTEID=7"},
                 -1,
                 "",
                 {{"LockPicking", "5"}, {"ItemID", "6"}, {"TasteID", "7"}}},
        LineCase{"Windows-1252 value kept", {"NAME=J\xF6rg \x80"}, kName, "J\xF6rg \x80", {}}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n;
    });

TEST(CharacterFile, AllGeneralLabelsInOrder) {
  const CharacterReadResult r =
      ReadAll(Section({"ACCOUNT=bob", "CREATE=0x1f", "NAME=Bob", "TITLE=Sir", "P=1,2,3", "DEATHS=4",
                       "KILLS=5", "FOOD=6", "HOME=7,8", "SKILLCLASS=9", "STR=10", "DEX=11",
                       "INT=12", "HITS=13", "STAM=14", "MANA=15"}),
              "0x40");
  const std::array<std::string, 16> expected = {"bob", "0x1f", "Bob", "Sir", "1,2,3", "4",
                                                "5",   "6",    "7,8", "9",   "10",    "11",
                                                "12",  "13",   "14",  "15"};
  EXPECT_EQ(r.record.general, expected);
  EXPECT_TRUE(r.record.skills.empty());
}

TEST(CharacterFile, UidIsTheWholeSerialLineIgnoringCase) {
  const std::string text =
      "[WORLDCHAR a]\nSERIAL=0x123\nNAME=Wrong\n"
      "[WORLDCHAR b]\nserial=0X12\nNAME=Right\nMAGERY=500\n"
      "[EOF]\n";
  CharacterReadResult r = ReadAll(text, "0x12");
  ASSERT_EQ(r.status, CharacterFileStatus::Found);
  EXPECT_EQ(r.record.general[kName], "Right");
  EXPECT_EQ(r.record.skills, (Skills{{"Magery", "500"}}));

  r = ReadAll(text, "0x123");
  EXPECT_EQ(r.record.general[kName], "Wrong");

  // A uid that only begins a serial line, or holds a line end, is nobody.
  for (const char* uid : {"0x1", "0x1234", "0x12\n", "", "SERIAL=0x12"}) {
    r = ReadAll(text, uid);
    EXPECT_EQ(r.status, CharacterFileStatus::UidNotFound) << uid;
    EXPECT_EQ(r.record, CharacterRecord{}) << uid;
  }
}

TEST(CharacterFile, SerialMustStartTheLine) {
  const std::string text =
      "[A]\nNOTE=SERIAL=0x5\nNAME=Note\n[B]\n SERIAL=0x5\nNAME=Blank\n"
      "[C]\nSERIAL=0x5\nNAME=Real\n[EOF]\n";
  EXPECT_EQ(ReadAll(text, "0x5").record.general[kName], "Real");
}

TEST(CharacterFile, SectionBoundaries) {
  struct Case {
    const char* what;
    std::string text;
    std::string name;
    Skills skills;
  };
  const std::vector<Case> cases = {
      {"last section before [EOF] read completely",
       "[A]\nSERIAL=1\nNAME=a\n[B]\nSERIAL=0x9\nNAME=b\nMINING=40\n[EOF]\n",
       "b",
       {{"Mining", "40"}}},
      {"next section ends it", "[A]\nSERIAL=0x9\nNAME=a\n[B]\nMINING=40\n[EOF]\n", "a", {}},
      {"no [EOF]: the file's last line is never applied",
       "[A]\nSERIAL=0x9\nNAME=a\nMINING=40\n",
       "a",
       {}},
      {"no [EOF] and no final line end", "[A]\nSERIAL=0x9\nNAME=a\nMINING=40", "a", {}},
      {"serial line is the last line", "[A]\nNAME=x\nSERIAL=0x9", "x", {}},
      {"serial line before any section: line 0 is skipped",
       "NAME=zero\nSERIAL=0x9\nNAME=one\nHIDING=3\n[EOF]\n",
       "one",
       {{"Hiding", "3"}}},
      {"lines before the serial line belong to the section",
       "[A]\nNAME=before\nSERIAL=0x9\nHIDING=3\n[EOF]\n",
       "before",
       {{"Hiding", "3"}}},
      {"CR, LF and CR LF all end lines",
       "[A]\rSERIAL=0x9\r\nNAME=a\rMINING=1\n\r\nTAMING=2\r\r[EOF]",
       "a",
       {{"Mining", "1"}, {"Taming", "2"}}},
      {"a NUL byte ends the text",
       Bytes("[A]\nSERIAL=0x9\nNAME=a\nMINING=1\n\0HIDING=2\n[EOF]\n"),
       "a",
       {}},
      {"NUL right after the serial", Bytes("[A]\nSERIAL=0x9\0\nNAME=a\n"), "", {}},
      {"blank line inside the section", "[A]\nSERIAL=0x9\n\nNAME=a\n[EOF]\n", "a", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CharacterReadResult r = ReadAll(c.text, "0x9");
    ASSERT_EQ(r.status, CharacterFileStatus::Found);
    EXPECT_EQ(r.record.general[kName], c.name);
    EXPECT_EQ(r.record.skills, c.skills);
  }
}

TEST(CharacterFile, TextAfterNulIsNotSearched) {
  const std::string text = Bytes("[A]\nSERIAL=1\n\0[B]\nSERIAL=0x9\nNAME=b\n[EOF]\n");
  EXPECT_EQ(ReadAll(text, "0x9").status, CharacterFileStatus::UidNotFound);
}

TEST(CharacterFile, OddFilesNeverCrash) {
  std::mt19937 rng(7);
  std::string binary(100000, '\0');
  for (char& c : binary) c = static_cast<char>(rng() % 256);
  const std::vector<std::string> files = {
      "",
      "\n",
      "[",
      "SERIAL=0x9",
      std::string(100000, 'x'),
      std::string(5000, '\r') + "SERIAL=0x9",
      binary,
      "[A]\nSERIAL=0x9\n" + std::string(200000, 'N'),
  };
  for (const auto& f : files) {
    for (const char* uid : {"0x9", ""}) {
      const CharacterReadResult r = ReadAll(f, uid);
      EXPECT_NE(r.status, CharacterFileStatus::ReadError);
    }
  }
}

// The reading as a list of lines, kept plain so the streaming reader can be checked
// against it.
std::vector<std::string> SplitLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t e = text.find_first_of("\r\n", i);
    if (e == std::string_view::npos) {
      lines.emplace_back(text.substr(i));
      break;
    }
    lines.emplace_back(text.substr(i, e - i));
    i = e + 1;
    if (text[e] == '\r' && i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

CharacterReadResult ReferenceRead(const std::string& text, const std::string& uid) {
  CharacterReadResult r;
  r.status = CharacterFileStatus::UidNotFound;
  const auto lines = SplitLines(text);
  std::string search = "SERIAL=" + uid;
  for (char& c : search) c = kov::UpperCp1252(c);
  std::size_t section = 0;
  bool found = false;
  for (std::size_t i = 0; i < lines.size() && !found; ++i) {
    if (!lines[i].empty() && lines[i][0] == '[') section = i;
    std::string up = lines[i];
    for (char& c : up) c = kov::UpperCp1252(c);
    found = up == search;
  }
  if (!found) return r;
  r.status = CharacterFileStatus::Found;
  for (std::size_t i = section + 1; i + 1 < lines.size(); ++i) {
    kov::ApplyCharacterLine(r.record, lines[i]);
    if (!lines[i].empty() && lines[i][0] == '[') break;
  }
  return r;
}

TEST(CharacterFile, StreamingAgreesWithLineListOnRandomFiles) {
  std::mt19937 rng(12345);
  const std::vector<std::string> pieces = {
      "[WORLDCHAR]", "[EOF]",   "SERIAL=0x12", "serial=0X12", "SERIAL=0x123",
      "SERIAL=0x1",  "NAME=a",  "name=B",      "STR=1",       "OSTR=2",
      "MAGERY=3",    "magery=", "TACTICS=4",   "P=1,2",       "",
      "[",           "S",       "SERIAL="};
  const std::vector<std::string> ends = {"\r\n", "\n", "\r", "\r\r\n"};
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 30);
    for (int i = 0; i < n; ++i) {
      text += pieces[rng() % pieces.size()];
      if (rng() % 20 || i + 1 < n) text += ends[rng() % ends.size()];
    }
    for (const char* uid : {"0x12", "0x1", "0x123", ""}) {
      const CharacterReadResult expected = ReferenceRead(text, uid);
      for (std::size_t chunk : kChunks) {
        const CharacterReadResult r = ReadCharacterText(text, uid, chunk);
        ASSERT_EQ(r.status, expected.status) << "uid " << uid << " chunk " << chunk << "\n" << text;
        ASSERT_EQ(r.record, expected.record) << "uid " << uid << " chunk " << chunk << "\n" << text;
      }
    }
  }
}

class CharacterFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("kov_chars_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }
  std::filesystem::path m_dir;
};

TEST_F(CharacterFileOnDisk, ReadsTheFileAndReportsMissingOne) {
  const auto file = m_dir / kov::kCharacterFileName;
  EXPECT_EQ(kov::ReadCharacterFile(file, "0x40").status, CharacterFileStatus::FileMissing);

  std::filesystem::create_directory(file);
  EXPECT_EQ(kov::ReadCharacterFile(file, "0x40").status, CharacterFileStatus::FileMissing);
  std::filesystem::remove(file);

  std::ofstream(file, std::ios::binary) << Section({"NAME=Disk", "MINING=10"});
  for (std::size_t chunk : kChunks) {
    const CharacterReadResult r = kov::ReadCharacterFile(file, "0x40", chunk);
    ASSERT_EQ(r.status, CharacterFileStatus::Found);
    EXPECT_EQ(r.record.general[kName], "Disk");
    EXPECT_EQ(r.record.skills, (Skills{{"Mining", "10"}}));
  }
}

#ifdef __linux__
TEST(CharacterFile, UnreadableFileIsAnError) {
  // Reading the start of one's own memory file fails with an I/O error.
  const CharacterReadResult r = kov::ReadCharacterFile("/proc/self/mem", "0x1");
  EXPECT_EQ(r.status, CharacterFileStatus::ReadError);
  EXPECT_FALSE(r.error.empty());
}
#endif

}  // namespace
