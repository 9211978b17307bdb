// Both exports on a file system that fills up and in a folder the user cannot write: an
// existing export stays whole and nothing is left beside it.
#include <gtest/gtest.h>

#include "export/ExportColumns.h"
#include "export/ExportHtml.h"
#include "export/ExportXlsx.h"
#include "tests/FaultFs.h"

namespace kov {
namespace {

using ExportFn = ExportResult (*)(const AccountTable&, const std::vector<ExportColumn>&,
                                  const std::string&, const ExportProgressFn&);
struct Format {
  const char* name;
  ExportFn run;
};

void AddAccounts(AccountTable& t, int rows) {
  for (int i = 0; i < rows; ++i) {
    t.Append();
    t.SetText(dbaccount, "account" + std::to_string(i * 7919));
    t.SetText(dbpasswort, "pw" + std::to_string(i * 104729));
    t.SetText(dbplevel, "Player");
    t.SetText(dbemail, "mail" + std::to_string(i) + "@example.org");
    t.SetInt(dbblock, 0);
    t.SetInt(dbjail, 0);
    t.SetInt(dbstatus, StatusStored);
    t.Post();
  }
}

class ExportWriteFaults : public ::testing::TestWithParam<Format> {};

TEST_P(ExportWriteFaults, FullFileSystem) {
  faults::SmallTmpfs fs;
  if (!fs.Mounted()) GTEST_SKIP() << fs.Reason();
  AccountTable t;
  AddAccounts(t, 3000);
  const std::string out = fs.File("accounts.out");
  faults::WriteFile(out, "old export");
  fs.FillLeaving(8 * 1024);
  const ExportResult r = GetParam().run(t, DefaultExportColumns(), out, {});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find(out), std::string::npos) << r.error;
  EXPECT_EQ(faults::ReadFile(out), "old export");
  EXPECT_EQ(faults::Names(fs.Path()), (std::vector<std::string>{"accounts.out", "filler"}));
}

TEST_P(ExportWriteFaults, ReadOnlyFolderForAnyUser) {
  std::random_device rd;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kov-export-ro-" + std::to_string(rd()));
  std::filesystem::create_directories(dir);
  const std::string out = (dir / "accounts.out").string();
  faults::WriteFile(out, "old export");
  faults::MakeFolderReadOnly(dir.string());
  std::string reason;
  const ExportFn run = GetParam().run;
  const int failures = faults::RunUnprivileged(
      [&] {
        AccountTable t;
        AddAccounts(t, 20);
        const ExportResult r = run(t, DefaultExportColumns(), out, {});
        return r.ok || r.error.empty() ? 1 : 0;
      },
      reason);
  const std::string after = faults::ReadFile(out);
  const std::vector<std::string> names = faults::Names(dir.string());
  ::chmod(dir.c_str(), 0755);
  std::filesystem::remove_all(dir);
  if (failures < 0) GTEST_SKIP() << reason;
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(after, "old export");
  EXPECT_EQ(names, std::vector<std::string>{"accounts.out"});
}

INSTANTIATE_TEST_SUITE_P(Both, ExportWriteFaults,
                         ::testing::Values(Format{"html", &ExportHtml},
                                           Format{"xlsx", &ExportXlsx}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kov
