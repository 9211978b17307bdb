// The history window on a history of N lines (default 1,000,000, in rotated files as the
// program writes them): the time from nothing to the window shown with every line, then to
// the list filtered to one account, against `wc -l` over the same files in the same run.
// The goal: both under a second.
//
//   kov-bench-ui_history [--lines N] [--runs N]
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstring>

#include "UiBench.h"
#include "store/History.h"
#include "ui/commands/HistoryWindow.h"
#include "ui/settings/UiText.h"

int main(int argc, char** argv) {
  int lines = 1000000, runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--lines") && i + 1 < argc) lines = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
  }
  QApplication app(argc, argv);
  kov::UiText::Instance().RegisterUiTextKeys();
  QTemporaryDir dir;
  const std::string path = QDir(dir.path()).filePath(kov::kHistoryFileName).toStdString();
  std::vector<kov::HistoryRecord> batch;
  std::string error;
  const char* fields[] = {"plevel", "email", "chatname", "priv", "passwort"};
  for (int i = 0; i < lines; ++i) {
    kov::HistoryRecord r;
    r.time = "2024-05-" + std::to_string(10 + i % 20) + "T12:00:00Z";
    r.user = "operator";
    r.shard = "/srv/vornex/accounts";
    r.account = "Account" + std::to_string(i % 100000);
    r.action = kov::kHistoryChange;
    r.field = fields[i % 5];
    r.oldValue = "old value " + std::to_string(i);
    r.newValue = "new value " + std::to_string(i);
    r.takenOver = i % 3 != 0;
    batch.push_back(std::move(r));
    if (batch.size() == 10000 || i + 1 == lines) {
      if (!kov::AppendHistory(path, batch, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
      }
      batch.clear();
    }
  }
  std::vector<std::string> files = kov::RotatedHistoryFiles(path);
  files.push_back(path);
  std::vector<std::string> wc = {"wc", "-l"};
  wc.insert(wc.end(), files.begin(), files.end());
  std::vector<double> open, filter, wcMs;
  int shown = 0, filtered = 0;
  for (int run = 0; run <= runs; ++run) {
    const double t0 = uibench::WallMs();
    uibench::Run(wc, "/dev/null");
    const double t1 = uibench::WallMs();
    {
      kov::HistoryWindow w(QString::fromStdString(path));
      w.Reload();
      w.show();
      QApplication::processEvents();
      const double t2 = uibench::WallMs();
      w.ShowAccount(QStringLiteral("Account4242"));
      QApplication::processEvents();
      const double t3 = uibench::WallMs();
      shown = w.Model().Total();
      filtered = w.Model().rowCount();
      if (run == 0) continue;
      wcMs.push_back(t1 - t0);
      open.push_back(t2 - t1);
      filter.push_back(t3 - t2);
    }
  }
  const double o = uibench::Median(open), f = uibench::Median(filter), w = uibench::Median(wcMs);
  std::printf("history lines: %d in %zu files, shown: %d, one account: %d, runs: %d, load %s\n",
              lines, files.size(), shown, filtered, runs, uibench::LoadAverage().c_str());
  std::printf("wc -l over the files:            %8.1f ms\n", w);
  std::printf("window opened, every line:       %8.1f ms  (%.2f x wc -l)\n", o, o / w);
  std::printf("filtered to one account:         %8.1f ms  (%.2f x wc -l)\n", f, f / w);
  return 0;
}
