// The exporters, the tab predicate and the mail link, on small tables built in memory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "ZipEntry.h"
#include "export/ExportHtml.h"
#include "export/ExportXlsx.h"
#include "export/MailLink.h"
#include "store/TabFilter.h"

namespace fs = std::filesystem;
using namespace kov;

namespace {

struct Account {
  std::string name, password, level, email;
  int status = StatusStored;
  int days = 0;
  int block = 0, jail = 0;
  std::vector<std::string> chars = {};
};

void Add(AccountTable& t, const Account& a) {
  t.Append();
  t.SetText(dbaccount, a.name);
  t.SetText(dbpasswort, a.password);
  t.SetText(dbplevel, a.level);
  t.SetText(dbemail, a.email);
  t.SetText(dbpriv, "$0");
  t.SetInt(dbstatus, a.status);
  t.SetInt(dbcounter, a.days);
  t.SetInt(dbblock, a.block);
  t.SetInt(dbjail, a.jail);
  const Field uids[5] = {dbcharuid1, dbcharuid2, dbcharuid3, dbcharuid4, dbcharuid5};
  for (size_t i = 0; i < a.chars.size(); ++i) t.SetText(uids[i], a.chars[i]);
  t.Post();
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("kov-export-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

// The data rows of a page: one vector of cell texts per <tr> with <td> cells.
std::vector<std::vector<std::string>> HtmlRows(const std::string& page, const char* cell = "td") {
  std::vector<std::vector<std::string>> rows;
  const std::regex tr("<tr>(.*?)</tr>");
  const std::regex td(std::string("<") + cell + "[^>]*>(.*?)</" + cell + ">");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), tr); it != std::sregex_iterator();
       ++it) {
    const std::string inner = (*it)[1];
    std::vector<std::string> cells;
    for (auto c = std::sregex_iterator(inner.begin(), inner.end(), td); c != std::sregex_iterator();
         ++c)
      cells.push_back((*c)[1]);
    if (!cells.empty()) rows.push_back(cells);
  }
  return rows;
}

void FilterBy(AccountTable& t, int tab, int charTab = 0) {
  t.SetFilter([tab, charTab](const AccountTable& table, RowId r) {
    return AcceptsTab(table, r, tab, charTab);
  });
  t.SetFiltered(true);
}

// A fixed mix: every level, blocked and jailed rows, character counts.
void FillMix(AccountTable& t) {
  Add(t, {"guest1", "pw", "Guest", "g@x.de", StatusStored, 3});
  Add(t, {"gm1", "pw", "GM", "", StatusChanged, 10, 1, 0, {"01"}});
  Add(t, {"player1", "pw", "Player", "p@x.de", StatusNew, 0, 0, 1, {"01", "02"}});
  Add(t, {"admin1", "pw", "admin", "a@x.de", StatusStored, 1, 2, 0});
  Add(t, {"dev1", "pw", "Developer", "d@x.de", StatusStored, 5});
  Add(t, {"num1", "pw", "5", "n@x.de", StatusStored, 7});
  Add(t, {"seer1", "pw", "sEeR", "", StatusStored, 2, 0, 0, {"1", "", "3"}});
}

std::vector<std::string> Names(const AccountTable& t) {
  std::vector<std::string> names;
  for (int i = 0; i < t.ViewCount(); ++i) names.emplace_back(t.Text(t.ViewRow(i), dbaccount));
  return names;
}

}  // namespace

// --- the tab predicate ------------------------------------------------------------------

TEST(TabFilter, EachTabShowsItsRows) {
  struct Case {
    int tab, charTab;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {TabAll, 0, {"guest1", "gm1", "player1", "admin1", "dev1", "num1", "seer1"}},
      {TabGuest, 0, {"guest1"}},
      {TabPlayer, 0, {"player1"}},
      {TabStaff, 0, {"gm1", "admin1", "dev1", "seer1"}},  // any case; a bare number is not staff
      {TabBlocked, 0, {"gm1"}},
      {TabJailed, 0, {"player1"}},
      {TabCharCount, 0, {"guest1", "admin1", "dev1", "num1"}},
      {TabCharCount, 1, {"gm1"}},
      {TabCharCount, 2, {"player1", "seer1"}},  // uids in the first and third field
      {TabNotBlocked, 0, {"guest1", "player1", "dev1", "num1", "seer1"}},  // block 2: neither
      {8, 0, {}},
      {-1, 0, {}},
  };
  for (const Case& c : cases) {
    AccountTable t;
    FillMix(t);
    FilterBy(t, c.tab, c.charTab);
    EXPECT_EQ(Names(t), c.names) << "tab " << c.tab << "/" << c.charTab;
  }
}

// --- HTML -------------------------------------------------------------------------------

TEST(ExportHtml, ReplacesPlaceholdersIgnoringCaseEverywhere) {
  EXPECT_EQ(ReplaceAllIgnoreCase("<#title>-<#TITLE>-<#TiTlE>", "<#TITLE>", "K"), "K-K-K");
  EXPECT_EQ(ReplaceAllIgnoreCase("#style#Style", "#STYLE", "s"), "ss");
  EXPECT_EQ(ReplaceAllIgnoreCase("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAllIgnoreCase("#STYL", "#STYLE", "x"), "#STYL");
}

TEST(ExportHtml, EmptyViewGivesHeaderTitleRowAndFooter) {
  TempDir dir;
  AccountTable t;
  FillMix(t);
  FilterBy(t, TabCharCount, 5);  // nobody has five characters
  ASSERT_EQ(t.ViewCount(), 0);
  const fs::path out = dir.path() / "empty.htm";
  const ExportResult r = ExportHtml(t, DefaultExportColumns(), out.string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rows, 0);
  const std::string page = ReadAll(out);
  const std::string expectedStart =
      "<html><head><title>KOV Export</title>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\r\n"
      "<style type=text/css>\r\n";
  EXPECT_EQ(page.substr(0, expectedStart.size()), expectedStart);
  EXPECT_NE(page.find("\r\n</style>\r\n</head><body>\r\n<table>\r\n"
                      "<tr><th>S</th><th>Account</th><th>Password</th><th>PLevel</th>"
                      "<th>EMail</th><th>Days</th></tr>\r\n</table>\r\n</body></html>\r\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("#STYLE"), std::string::npos);
  EXPECT_EQ(page.find("<#TITLE>"), std::string::npos);
  // CR LF everywhere, no lone line feed.
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == '\n') {
      ASSERT_TRUE(i > 0 && page[i - 1] == '\r') << "at " << i;
    }
  }
}

TEST(ExportHtml, StaffTabExportsOnlyStaffInViewOrderWithSixColumns) {
  TempDir dir;
  AccountTable t;
  FillMix(t);
  // Order the table by name descending, as a title click would.
  std::vector<RowId> order = t.Order();
  std::sort(order.begin(), order.end(),
            [&](RowId a, RowId b) { return t.Text(a, dbaccount) > t.Text(b, dbaccount); });
  t.SetOrder(order);
  FilterBy(t, TabStaff);
  t.SetCurrentIndex(2);
  const RowId current = t.Current();
  const fs::path out = dir.path() / "staff.htm";
  const ExportResult r = ExportHtml(t, DefaultExportColumns(), out.string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rows, 4);
  EXPECT_EQ(t.Current(), current);
  const std::string page = ReadAll(out);
  EXPECT_EQ(HtmlRows(page, "th"), (std::vector<std::vector<std::string>>{
                                      {"S", "Account", "Password", "PLevel", "EMail", "Days"}}));
  EXPECT_EQ(HtmlRows(page),
            (std::vector<std::vector<std::string>>{{"0", "seer1", "pw", "sEeR", "&nbsp;", "2"},
                                                   {"1", "gm1", "pw", "GM", "&nbsp;", "10"},
                                                   {"0", "dev1", "pw", "Developer", "d@x.de", "5"},
                                                   {"0", "admin1", "pw", "admin", "a@x.de", "1"}}));
  EXPECT_EQ(page.find("$0"), std::string::npos);  // the flags are never exported
}

TEST(ExportHtml, HostileCellsComeOutAsText) {
  TempDir dir;
  AccountTable t;
  Add(t, {"<script>alert(1)</script>", "a\"b'c&d", "Player",
          "\"x@y.de\"><img src=x onerror=alert(1)>", StatusNew, 0});
  Add(t, {"M\xfcller\x80", "&amp;", "Guest", "\xe9@\xe9.fr"});
  std::vector<ExportColumn> columns = DefaultExportColumns();
  columns[1].title = "Acc<b>\"";
  const fs::path out = dir.path() / "hostile.htm";
  ASSERT_TRUE(ExportHtml(t, columns, out.string()).ok);
  const std::string page = ReadAll(out);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  const auto rows = HtmlRows(page);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], "&lt;script&gt;alert(1)&lt;/script&gt;");
  EXPECT_EQ(rows[0][2], "a&quot;b&#39;c&amp;d");
  EXPECT_EQ(rows[0][4], "&quot;x@y.de&quot;&gt;&lt;img src=x onerror=alert(1)&gt;");
  // Windows-1252 bytes stay single bytes, as the page declares.
  EXPECT_EQ(rows[1][1], "M\xfcller\x80");
  EXPECT_EQ(rows[1][2], "&amp;amp;");
  EXPECT_EQ(rows[1][4], "\xe9@\xe9.fr");
  EXPECT_EQ(HtmlRows(page, "th")[0][1], "Acc&lt;b&gt;&quot;");
  EXPECT_NE(page.find("charset=windows-1252"), std::string::npos);
}

TEST(ExportHtml, ProgressRunsFromZeroToAllRowsHiddenIncluded) {
  TempDir dir;
  AccountTable t;
  for (int i = 0; i < 10000; ++i)
    Add(t, {"a" + std::to_string(i), "p", i % 2 ? "GM" : "Guest", ""});
  FilterBy(t, TabStaff);
  std::vector<std::int64_t> positions;
  const ExportResult r = ExportHtml(t, DefaultExportColumns(), (dir.path() / "p.htm").string(),
                                    [&](std::int64_t min, std::int64_t max, std::int64_t pos) {
                                      EXPECT_EQ(min, 0);
                                      EXPECT_EQ(max, 10000);
                                      positions.push_back(pos);
                                    });
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.rows, 5000);
  ASSERT_GE(positions.size(), 3u);  // before, during and at the end
  EXPECT_EQ(positions.front(), 0);
  EXPECT_EQ(positions.back(), 10000);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
}

// --- files: replaced whole, owner only, nothing left behind -----------------------------

namespace {

using Exporter = ExportResult (*)(const AccountTable&, const std::vector<ExportColumn>&,
                                  const std::string&, const ExportProgressFn&);

struct Format {
  const char* name;
  Exporter run;
};

class ExportFiles : public ::testing::TestWithParam<Format> {};

// A write limit that makes the kernel refuse writes past `bytes`, for root too.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit old_{};
  sighandler_t old_handler_;
};

}  // namespace

TEST_P(ExportFiles, ReplacesAnExistingFileOwnerOnly) {
  TempDir dir;
  AccountTable t;
  FillMix(t);
  const fs::path out = dir.path() / "out";
  WriteAll(out, "old contents");
  ::chmod(out.c_str(), 0644);
  const ExportResult r = GetParam().run(t, DefaultExportColumns(), out.string(), {});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rows, 7);
  EXPECT_NE(ReadAll(out), "old contents");
  struct stat st {};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // passwords inside
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST_P(ExportFiles, FailedWriteKeepsTheOldFileAndLeavesNothing) {
  TempDir dir;
  AccountTable t;
  for (int i = 0; i < 20000; ++i) Add(t, {"account" + std::to_string(i), "secret", "Player", ""});
  const fs::path out = dir.path() / "out";
  WriteAll(out, "old contents");
  ExportResult r;
  {
    const FileSizeLimit limit(16 * 1024);
    r = GetParam().run(t, DefaultExportColumns(), out.string(), {});
  }
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(out.string()), std::string::npos) << r.error;
  EXPECT_TRUE(ReadAll(out) == "old contents") << "the old file was replaced";
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out"});
}

TEST_P(ExportFiles, FolderThatCannotBeWrittenGivesAnError) {
  TempDir dir;
  AccountTable t;
  FillMix(t);
  WriteAll(dir.path() / "plainfile", "x");
  for (const fs::path& target :
       {dir.path() / "plainfile" / "out", dir.path() / "missing" / "out", dir.path()}) {
    const ExportResult r = GetParam().run(t, DefaultExportColumns(), target.string(), {});
    EXPECT_FALSE(r.ok) << target;
    EXPECT_FALSE(r.error.empty());
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"plainfile"});
}

INSTANTIATE_TEST_SUITE_P(Both, ExportFiles,
                         ::testing::Values(Format{"html", &ExportHtml},
                                           Format{"xlsx", &ExportXlsx}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- workbook ---------------------------------------------------------------------------

TEST(ExportXlsx, SheetHoldsTitlesAndRecordsWithNumbersAsNumbers) {
  TempDir dir;
  AccountTable t;
  FillMix(t);
  Add(t, {"<script>x</script>", "a&b\"c", "Player", "\xe9t\xe9@x.fr", StatusNew, 12});
  Add(t, {"_x0041_", "\x01", "Player", ""});
  FilterBy(t, TabPlayer);
  const fs::path out = dir.path() / "out.xlsx";
  const ExportResult r = ExportXlsx(t, DefaultExportColumns(), out.string());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rows, 3);
  const auto sheet = kovtest::ZipEntry(out.string(), "xl/worksheets/sheet1.xml");
  ASSERT_TRUE(sheet.has_value());
  // Cells in order, as (reference, kind, value).
  std::vector<std::string> cells;
  const std::regex cell(
      "<c r=\"([A-Z]+[0-9]+)\"[^>]*?(?: "
      "t=\"inlineStr\")?[^>]*>(?:<is><t[^>]*>(.*?)</t></is>|<v>(.*?)</v>)</c>");
  for (auto it = std::sregex_iterator(sheet->begin(), sheet->end(), cell);
       it != std::sregex_iterator(); ++it)
    cells.push_back((*it)[1].str() + "=" +
                    ((*it)[2].matched ? "s:" + (*it)[2].str() : "n:" + (*it)[3].str()));
  EXPECT_EQ(cells, (std::vector<std::string>{"A1=s:S",
                                             "B1=s:Account",
                                             "C1=s:Password",
                                             "D1=s:PLevel",
                                             "E1=s:EMail",
                                             "F1=s:Days",
                                             "A2=n:2",
                                             "B2=s:player1",
                                             "C2=s:pw",
                                             "D2=s:Player",
                                             "E2=s:p@x.de",
                                             "F2=n:0",
                                             "A3=n:2",
                                             "B3=s:&lt;script&gt;x&lt;/script&gt;",
                                             "C3=s:a&amp;b\"c",
                                             "D3=s:Player",
                                             "E3=s:\xc3\xa9t\xc3\xa9@x.fr",
                                             "F3=n:12",
                                             "A4=n:0",
                                             "B4=s:_x005F_x0041_",
                                             "C4=s:_x0001_",
                                             "D4=s:Player",
                                             "F4=n:0"}))
      << *sheet;
  EXPECT_NE(sheet->find("<pageSetup fitToHeight=\"0\" orientation=\"portrait\"/>"),
            std::string::npos);
  // Widened to the contents: the name column is wider than the status column.
  std::vector<double> widths;
  const std::regex col("<col min=\"\\d+\" max=\"\\d+\" width=\"([0-9.]+)\"");
  for (auto it = std::sregex_iterator(sheet->begin(), sheet->end(), col);
       it != std::sregex_iterator(); ++it)
    widths.push_back(std::stod((*it)[1]));
  ASSERT_EQ(widths.size(), 6u);
  EXPECT_GT(widths[1], widths[0]);
  EXPECT_GE(widths[1], 18.0);  // "<script>x</script>" is 18 characters
  const auto workbook = kovtest::ZipEntry(out.string(), "xl/workbook.xml");
  ASSERT_TRUE(workbook.has_value());
  EXPECT_NE(workbook->find("<sheet name=\"Sheet1\""), std::string::npos);
}

TEST(ExportXlsx, CellTextProtectsEscapeLookalikes) {
  EXPECT_EQ(XlsxCellText("plain"), "plain");
  EXPECT_EQ(XlsxCellText("_x00e9_"), "_x005F_x00e9_");
  EXPECT_EQ(XlsxCellText("_x00g9_"), "_x00g9_");
  EXPECT_EQ(XlsxCellText("_x0041"), "_x0041");
  EXPECT_EQ(XlsxCellText("\x80"), "\xe2\x82\xac");
}

// --- mail link --------------------------------------------------------------------------

TEST(MailLink, AddressSubjectAndBodyArePercentEncoded) {
  const std::string tail = "?subject=%3Cmail%20subject%3E&body=dummy";
  struct Case {
    std::string email, link;
  };
  const Case cases[] = {
      {"a", "mailto:a" + tail},
      {"bob@example.com", "mailto:bob@example.com" + tail},
      {"\"bob@example.com\"", "mailto:bob@example.com" + tail},  // one pair of quotes removed
      {"\"\"x\"\"", "mailto:%22x%22" + tail},
      {"\"", "mailto:%22" + tail},
      {"x@y?bcc=evil@z&subject=hi", "mailto:x@y%3Fbcc%3Devil@z%26subject%3Dhi" + tail},
      {"a b,c@d#e%", "mailto:a%20b%2Cc@d%23e%25" + tail},
      {"m\xfcller@x.de", "mailto:m%C3%BCller@x.de" + tail},
  };
  for (const Case& c : cases) EXPECT_EQ(MailtoLink(c.email), c.link) << c.email;
}
