#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/ProgramSettings.h"

namespace fs = std::filesystem;
using kov::IniFile;
using kov::ProgramSettings;

namespace {

const std::string kSep(1, kov::kPathSeparator);

ProgramSettings LoadFrom(const std::string& bytes) {
  IniFile ini;
  ini.Parse(bytes);
  ProgramSettings s;
  s.LoadSettings(ini);
  return s;
}

}  // namespace

TEST(ProgramSettings, MissingFileGivesTheDefaults) {
  const ProgramSettings s = LoadFrom("");
  EXPECT_EQ(s.LEFT, 238);
  EXPECT_EQ(s.TOP, 122);
  EXPECT_EQ(s.HEIGHT, 587);
  EXPECT_EQ(s.WIDTH, 605);
  EXPECT_EQ(s.VORNEXDIR, "");
  EXPECT_EQ(s.ACCOUNTDIR, kSep);
  EXPECT_EQ(s.SAVEDIR, kSep);
  EXPECT_TRUE(s.SHOWLOG);
  EXPECT_EQ(s.LOGH, 100);
  EXPECT_EQ(s.LANG, 0);
  EXPECT_FALSE(s.ACCAUTOUPDATE);
}

TEST(ProgramSettings, GarbageValuesGiveTheDefaults) {
  const ProgramSettings s = LoadFrom(
      "[WINDOW]\r\nLEFT=abc\r\nTOP=\r\nHEIGHT=12px\r\nWIDTH=$\r\n"
      "[SETTINGS]\r\nSHOWLOG=no\r\nLOGH=1.5\r\nLANG=german\r\nACCAUTOUPDATE=yes\r\n");
  EXPECT_EQ(s.LEFT, 238);
  EXPECT_EQ(s.TOP, 122);
  EXPECT_EQ(s.HEIGHT, 587);
  EXPECT_EQ(s.WIDTH, 605);
  EXPECT_TRUE(s.SHOWLOG);
  EXPECT_EQ(s.LOGH, 100);
  EXPECT_EQ(s.LANG, 0);
  EXPECT_FALSE(s.ACCAUTOUPDATE);
}

TEST(ProgramSettings, BinaryGarbageGivesTheDefaults) {
  std::string bytes;
  unsigned x = 12345;
  for (int i = 0; i < 4096; ++i) {
    x = x * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>((x >> 16) & 0xFF));
  }
  bytes.replace(100, 0, std::string("\0[SETTINGS]\r\nLANG=1\r\n", 21));  // after a NUL: never read
  const ProgramSettings s = LoadFrom(bytes);
  EXPECT_EQ(s.LEFT, 238);
  EXPECT_EQ(s.LANG, 0);
  EXPECT_EQ(s.ACCOUNTDIR, kSep);
  EXPECT_TRUE(s.SHOWLOG);
}

TEST(ProgramSettings, ReadsValuesInDecimalAndHex) {
  const ProgramSettings s = LoadFrom(
      "[window]\nleft=-8\ntop=$10\nheight=0x300\nwidth=900\n"
      "[Settings]\nVORNEXDIR=/srv/vornex/vornex-server\nSHOWLOG=0\n"
      "LOGH=250\nLANG=1\nACCAUTOUPDATE=2\n");
  EXPECT_EQ(s.LEFT, -8);
  EXPECT_EQ(s.TOP, 16);
  EXPECT_EQ(s.HEIGHT, 768);
  EXPECT_EQ(s.WIDTH, 900);
  EXPECT_EQ(s.VORNEXDIR, "/srv/vornex/vornex-server") << "never given a separator";
  EXPECT_FALSE(s.SHOWLOG);
  EXPECT_EQ(s.LOGH, 250);
  EXPECT_EQ(s.LANG, 1);
  EXPECT_TRUE(s.ACCAUTOUPDATE);
}

TEST(ProgramSettings, FoldersEndWithASeparator) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"", kSep},
      {"C:\\srv\\accounts", "C:\\srv\\accounts" + kSep},
      {"C:\\srv\\accounts\\", "C:\\srv\\accounts\\"},
      {"/srv/accounts", "/srv/accounts" + kSep},
      {"/srv/accounts/", "/srv/accounts/"},
      {"/", "/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kov::AppendPathSeparator(c.in), c.out) << c.in;
    const ProgramSettings s = LoadFrom("[SETTINGS]\r\nACCOUNTDIR=" + c.in + "\r\nSAVEDIR=" + c.in +
                                       "\r\nVORNEXDIR=" + c.in + "\r\n");
    EXPECT_EQ(s.ACCOUNTDIR, c.out) << c.in;
    EXPECT_EQ(s.SAVEDIR, c.out) << c.in;
    EXPECT_EQ(s.VORNEXDIR, c.in);
  }
}

TEST(ProgramSettings, SavesTheElevenKeysInOrder) {
  ProgramSettings s;
  s.LEFT = 10;
  s.TOP = 20;
  s.HEIGHT = 400;
  s.WIDTH = 700;
  s.VORNEXDIR = "/srv/vornex/vornex-server";
  s.ACCOUNTDIR = "/srv/vornex/accounts/";
  s.SAVEDIR = "/srv/vornex/save/";
  s.SHOWLOG = false;
  s.LOGH = 80;
  s.LANG = 1;
  s.ACCAUTOUPDATE = true;
  s.ChangesSaved = true;
  IniFile ini;
  ASSERT_TRUE(s.SaveSettings(ini));
  EXPECT_EQ(ini.Serialize(),
            "[WINDOW]\r\nLEFT=10\r\nTOP=20\r\nHEIGHT=400\r\nWIDTH=700\r\n\r\n"
            "[SETTINGS]\r\nVORNEXDIR=/srv/vornex/vornex-server\r\n"
            "ACCOUNTDIR=/srv/vornex/accounts/\r\nSAVEDIR=/srv/vornex/save/\r\n"
            "SHOWLOG=0\r\nLOGH=80\r\nLANG=1\r\nACCAUTOUPDATE=1\r\n");
  ProgramSettings back;
  back.LoadSettings(ini);
  EXPECT_EQ(back.VORNEXDIR, s.VORNEXDIR);
  EXPECT_EQ(back.ACCOUNTDIR, s.ACCOUNTDIR);
  EXPECT_EQ(back.LOGH, 80);
  EXPECT_FALSE(back.ChangesSaved) << "ChangesSaved is never read from the file";
}

TEST(ProgramSettings, SaveFileKeepsForeignLinesAndReportsLineBreaks) {
  const fs::path dir =
      fs::temp_directory_path() / ("kov-settings-test-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = kov::SettingsFilePath(dir.string());
  {
    std::ofstream out(path, std::ios::binary);
    out << "; operator's note\r\n[SETTINGS]\r\nlang=1\r\nEXTRA=keep\r\n";
  }
  ProgramSettings s = kov::LoadSettingsFile(path);
  EXPECT_EQ(s.LANG, 1);
  s.LANG = 0;
  ASSERT_TRUE(kov::SaveSettingsFile(path, s).ok);
  std::ifstream in(path, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written.rfind("; operator's note\r\n[SETTINGS]\r\nlang=0\r\nEXTRA=keep\r\n", 0), 0u)
      << written;
  EXPECT_NE(written.find("\r\n[WINDOW]\r\nLEFT=238\r\n"), std::string::npos) << written;

  s.VORNEXDIR = "x\r\nACCAUTOUPDATE=1";
  const IniFile::SaveResult r = kov::SaveSettingsFile(path, s);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  std::ifstream again(path, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()),
            written);
  // Windows refuses to remove a file that is still open.
  in.close();
  again.close();
  fs::remove_all(dir);
}

// The grid's columns live in a section of their own; a profile without it, written back with
// no column shown, keeps every byte, and one with it keeps it where it stands.
TEST(ProgramSettings, ShownColumnsRoundTrip) {
  const std::string kProfile =
      "[WINDOW]\r\nLEFT=10\r\nTOP=20\r\nHEIGHT=400\r\nWIDTH=700\r\n\r\n"
      "[SETTINGS]\r\nVORNEXDIR=/srv/v\r\nACCOUNTDIR=/srv/a/\r\nSAVEDIR=/srv/s/\r\n"
      "SHOWLOG=1\r\nLOGH=100\r\nLANG=0\r\nACCAUTOUPDATE=0\r\n";
  struct Case {
    const char* name;
    std::string in;
    std::string shown;  // set before writing back
    std::string out;
  };
  const Case cases[] = {
      {"no section, nothing shown", kProfile, "", kProfile},
      {"no section, a column shown", kProfile, "LASTIP",
       kProfile + "\r\n[COLUMNS]\r\nSHOWN=LASTIP\r\n"},
      {"section kept in its place", "[COLUMNS]\r\nSHOWN=BLOCKED\r\n\r\n" + kProfile, "",
       "[COLUMNS]\r\nSHOWN=\r\n\r\n" + kProfile},
      {"other keys of the section stay", kProfile + "[COLUMNS]\r\nNOTE=x\r\nSHOWN=a\r\n", "b,c",
       kProfile + "[COLUMNS]\r\nNOTE=x\r\nSHOWN=b,c\r\n"},
  };
  for (const Case& c : cases) {
    IniFile ini;
    ini.Parse(c.in);
    ProgramSettings s;
    s.LoadSettings(ini);
    s.ShownColumns = c.shown;
    ASSERT_TRUE(s.SaveSettings(ini)) << c.name;
    EXPECT_EQ(ini.Serialize(), c.out) << c.name;
  }
  EXPECT_EQ(LoadFrom("[columns]\r\nshown=BLOCKED,lastip\r\n").ShownColumns, "BLOCKED,lastip");
  EXPECT_EQ(LoadFrom(kProfile).ShownColumns, "");
}
