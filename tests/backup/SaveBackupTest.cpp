#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "backup/Huffman.h"
#include "backup/Huffman_Work.h"
#include "backup/SaveBackup.h"
#include "store/AccountTable.h"
#include "store/LoadAccounts.h"

namespace fs = std::filesystem;
using namespace kov;

namespace {

class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    m_path =
        fs::temp_directory_path() / ("kov-backup-test-" + std::to_string(std::random_device{}()) +
                                     "-" + std::to_string(counter++));
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_path))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path m_path;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct RowSpec {
  std::string name;
  std::string password;
  std::string email;
  std::string priv;
  std::optional<int> block;
  std::optional<int> status;
};

void AddRow(AccountTable& table, const RowSpec& r) {
  table.Append();
  table.SetText(dbaccount, r.name);
  table.SetText(dbpasswort, r.password);
  table.SetText(dbemail, r.email);
  table.SetText(dbplevel, "Player");
  table.SetText(dbpriv, r.priv);
  if (r.block) table.SetInt(dbblock, *r.block);
  table.SetInt(dbjail, 0);
  table.SetText(dblastip, "10.0.0.1");
  if (r.status) table.SetInt(dbstatus, *r.status);
  table.SetInt(dbcounter, 12);
  table.Post();
}

std::string Block(const std::string& name, const std::string& password, const std::string& email,
                  const std::string& priv, const std::string& block, const std::string& status) {
  std::string b = "[" + name + "]\r\n" + password + "\r\n" + email + "\r\nPlayer\r\n\r\n\r\n\r\n" +
                  priv + "\r\n" + block + "\r\n0\r\n";
  for (int i = 0; i < 10; ++i) b += "\r\n";  // dbtotalct .. dbcharuid5
  b += "10.0.0.1\r\n\r\n" + status + "\r\n12\r\n\r\n";
  return b;
}

const std::string kHeader =
    "//Created with Vornex Script Manager\r\n//Backup from 09.12.2026\r\n\r\nVERSION=1\r\n\r\n";

std::string DecodeFile(const std::string& path) {
  std::string data;
  EXPECT_EQ(HuffmanDecode(ReadAll(path), data), HuffmanStatus::Ok);
  return data;
}

}  // namespace

TEST(BackupDump, HeaderAndOneBlockPerRow) {
  AccountTable empty;
  EXPECT_EQ(BuildBackupDump(empty, "09.12.2026"), kHeader);

  AccountTable table;
  AddRow(table, {"alice", "pw1", "a@x.org", "$0002", 1, 2});
  AddRow(table, {"bob", "secret", "", "$0", std::nullopt, std::nullopt});
  const std::string expected = kHeader + Block("alice", "pw1", "a@x.org", "$0002", "1", "2") +
                               Block("bob", "secret", "", "$0", "0", "0");
  EXPECT_EQ(BuildBackupDump(table, "09.12.2026"), expected);

  // Every row in table order, whatever the filter lets through.
  table.SetFilter([](const AccountTable& t, RowId r) { return t.Text(r, dbaccount) == "bob"; });
  table.SetFiltered(true);
  table.SetOrder({table.Order()[1], table.Order()[0]});
  EXPECT_EQ(BuildBackupDump(table, "09.12.2026"),
            kHeader + Block("bob", "secret", "", "$0", "0", "0") +
                Block("alice", "pw1", "a@x.org", "$0002", "1", "2"));

  std::vector<std::pair<std::size_t, std::size_t>> calls;
  BuildBackupDump(table, "x",
                  [&](std::size_t row, std::size_t count) { calls.emplace_back(row, count); });
  EXPECT_EQ(calls, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 2}, {1, 2}}));
}

TEST(BackupFile, NameIsSafeForTheFileSystem) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"09.12.2026", "Kov_09.12.2026.bak"},
      {"12/9/2026", "Kov_12-9-2026.bak"},
      {"2026-12-09", "Kov_2026-12-09.bak"},
      {"a\\b:c*d?e\"f<g>h|i", "Kov_a-b-c-d-e-f-g-h-i.bak"},
      {std::string("1\t2\n3", 5), "Kov_1-2-3.bak"},
      {"", "Kov_.bak"},
  };
  for (const auto& [date, name] : cases) EXPECT_EQ(BackupFileName(date), name) << date;
}

TEST(BackupFile, DecodesToTheDumpAndLeavesNoPlainCopy) {
  TempDir dir;
  AccountTable table;
  for (int i = 0; i < 500; ++i) {
    AddRow(table,
           {"acc" + std::to_string(i), "pw" + std::to_string(i * 7919), "m@x", "$1", i % 3, 1});
  }
  const std::string path = dir.File(BackupFileName("09/12/2026"));
  const BackupResult result = WriteBackup(table, path, "09/12/2026");
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.rows, 500u);
  EXPECT_EQ(DecodeFile(path), BuildBackupDump(table, "09/12/2026"));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Kov_09-12-2026.bak"});
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif

  // A second backup on one day replaces the first.
  AddRow(table, {"late", "pw", "", "$0", 0, 2});
  ASSERT_TRUE(WriteBackup(table, path, "09/12/2026").ok);
  EXPECT_EQ(DecodeFile(path), BuildBackupDump(table, "09/12/2026"));
  EXPECT_EQ(dir.Names().size(), 1u);
}

TEST(BackupFile, EmptyTableStillWritesABackup) {
  TempDir dir;
  AccountTable table;
  const std::string path = dir.File("Kov_x.bak");
  ASSERT_TRUE(WriteBackup(table, path, "09.12.2026").ok);
  EXPECT_EQ(DecodeFile(path), kHeader);
}

TEST(BackupFile, FailuresAreReportedAndLeaveNothingBehind) {
  TempDir dir;
  AccountTable table;
  AddRow(table, {"alice", "pw1", "a@x.org", "$0002", 1, 2});

  // A folder that does not exist, and a "folder" that is a file.
  WriteAll(dir.File("plain"), "x");
  for (const std::string& path :
       {dir.File("missing/Kov_a.bak"), dir.File("plain/Kov_a.bak"), dir.Path().string()}) {
    const BackupResult r = WriteBackup(table, path, "a");
    EXPECT_FALSE(r.ok) << path;
    EXPECT_NE(r.error.find(path), std::string::npos) << r.error;
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"plain"});

#ifndef _WIN32
  // A full disk: the file size limit makes writes fail like ENOSPC would.
  const std::string path = dir.File("Kov_full.bak");
  WriteAll(path, "previous backup");
  for (int i = 0; i < 3000; ++i) AddRow(table, {"n" + std::to_string(i), "p", "", "$0", 0, 0});
  struct rlimit old {};
  ::getrlimit(RLIMIT_FSIZE, &old);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const BackupResult r = WriteBackup(table, path, "a");
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("Cannot write"), std::string::npos) << r.error;
  EXPECT_EQ(ReadAll(path), "previous backup");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Kov_full.bak", "plain"}));
#endif
}

TEST(HuffmanFiles, CompressAndDecompressFiles) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "line " + std::to_string(i * i) + "\r\n";
  WriteAll(dir.File("in.txt"), text);
  auto c = HuffmanCompressFile(dir.File("in.txt"), dir.File("in.huf"));
  ASSERT_TRUE(c.ok) << c.error;
  auto d = HuffmanDecompressFile(dir.File("in.huf"), dir.File("out.txt"));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_TRUE(d.complete);
  EXPECT_EQ(ReadAll(dir.File("out.txt")), text);

  // Cut short: what the stream holds is written, and the caller learns it is incomplete.
  const std::string stream = ReadAll(dir.File("in.huf"));
  WriteAll(dir.File("cut.huf"), stream.substr(0, stream.size() / 2));
  d = HuffmanDecompressFile(dir.File("cut.huf"), dir.File("cut.txt"));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_FALSE(d.complete);
  const std::string partial = ReadAll(dir.File("cut.txt"));
  EXPECT_GT(partial.size(), 0u);
  EXPECT_EQ(text.compare(0, partial.size(), partial), 0);

  c = HuffmanCompressFile(dir.File("nothing.txt"), dir.File("x.huf"));
  EXPECT_FALSE(c.ok);
  EXPECT_NE(c.error.find("nothing.txt"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("x.huf")));
}

// The demo shard as the program loads it: its backup decodes to header lines and one
// 25-line block per row, every line ended by CR LF, each value as the table shows it.
TEST(BackupFile, DemoFolderDecodesToTheDumpText) {
  AccountTable table;
  const LoadResult load = LoadAccountFolder(table, std::string(KOV_SOURCE_DIR) + "/demo/accounts");
  ASSERT_TRUE(load.complete());
  ASSERT_GT(table.RowCount(), 0);
  TempDir dir;
  const std::string path = dir.File(BackupFileName("09.12.2026"));
  ASSERT_TRUE(WriteBackup(table, path, "09.12.2026").ok);
  const std::string text = DecodeFile(path);
  EXPECT_EQ(text, BuildBackupDump(table, "09.12.2026"));

  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "line without CR LF at " << start;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 5u + 25u * static_cast<std::size_t>(table.RowCount()));
  EXPECT_EQ(lines[1], "//Backup from 09.12.2026");
  EXPECT_EQ(lines[3], "VERSION=1");
  for (std::size_t r = 0; r < table.Order().size(); ++r) {
    const RowId row = table.Order()[r];
    const std::size_t first = 5 + 25 * r;
    EXPECT_EQ(lines[first], "[" + std::string(table.Text(row, dbaccount)) + "]");
    for (int f = 1; f < kFieldCount; ++f) {
      std::string shown = table.DisplayText(row, static_cast<Field>(f));
      if (FieldInfoOf(static_cast<Field>(f)).isInteger && shown.empty()) shown = "0";
      EXPECT_EQ(lines[first + static_cast<std::size_t>(f)], shown) << "row " << r << " field " << f;
    }
    EXPECT_EQ(lines[first + 24], "");
  }
  EXPECT_EQ(dir.Names().size(), 1u);
}
