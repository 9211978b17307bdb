// The search field with many accounts: one keystroke's re-filter (the field's text applied,
// every row judged again, the grid repainted) against the time the account file reader takes
// for the same file in the same run (target: at most 0.1 of the read time), and against
// `grep -ci` over the same file as a plain tool.
//
//   kov-bench-ui_search [--accounts N] [--runs N]
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "UiBench.h"
#include "store/AccountTable.h"
#include "store/ReadAcc.h"
#include "ui/commands/Commands.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/widgets/Notice.h"

namespace {

using uibench::Median;
using uibench::Run;
using uibench::WallMs;

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int accounts = 100000, runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--accounts") && i + 1 < argc)
      accounts = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: kov-bench-ui_search [--accounts N] [--runs N]\n");
      return 2;
    }
  }
  QApplication app(argc, argv);
  const QString exeDir = QCoreApplication::applicationDirPath();
  QTemporaryDir tmp;
  const QString accountDir = tmp.filePath("accounts");
  const QString programDir = tmp.filePath("prog");
  if (!uibench::MakeShard(exeDir, accountDir, programDir, accounts)) return 1;
  const std::string accu = (accountDir + "/VornexAccu.scp").toStdString();

  // The references, taken once before the window opens and again before each run of typing,
  // so that both see the machine in the same state.
  std::vector<double> reads, greps;
  auto timeReferences = [&] {
    kov::AccountTable table;
    const double t0 = WallMs();
    kov::ReadAccountFile(table, accu, {});
    reads.push_back(WallMs() - t0);
    const auto w0 = std::chrono::steady_clock::now();
    Run({"grep", "-ci", "example", accu}, "/dev/null");
    greps.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0).count());
  };
  timeReferences();

  kov::MainWindow form(programDir);
  kov::Commands commands(form);
  form.show();
  // The work the program does in idle time after loading (the sort column's keys) is let
  // run out first, as it has long before an operator types.
  for (const double until = WallMs() + 300; WallMs() < until;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  // The start-up hint closes itself after five seconds; the operator has read it by then.
  for (QWidget* hint : form.findChildren<QWidget*>(QStringLiteral("BalloonHint"))) hint->close();
  // The operator clicks into the field or presses Ctrl+F before typing: the field readies
  // its index then, not on the first keystroke.
  form.activateWindow();
  form.Search()->setFocus();
  QCoreApplication::processEvents();
  const kov::AccountTable& t = form.Table();
  // Typed as an operator types: a name from the middle of the file, letter by letter, then
  // deleted again. A longer text judges only the rows shown; a shorter one all rows again.
  const std::string name(t.Text(t.ViewRow(t.ViewCount() / 2), kov::dbaccount));
  const QString needle = QString::fromLatin1(name.substr(0, std::min<size_t>(name.size(), 6)));
  std::vector<double> keys;
  double worst = 0;
  int shown = 0;
  for (int r = 0; r < runs; ++r) {
    timeReferences();
    QStringList steps;
    for (int i = 1; i <= needle.size(); ++i) steps << needle.left(i);
    for (int i = needle.size() - 1; i >= 0; --i) steps << needle.left(i);
    for (const QString& s : steps) {
      const double t0 = WallMs();
      // A key typed or a backspace, then the pause's end (at once, as Enter does).
      const bool typed = s.size() > form.Search()->text().size();
      const int key = typed ? int(s.back().toUpper().unicode()) : int(Qt::Key_Backspace);
      const QString keyText = typed ? QString(s.back()) : QString();
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, keyText);
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, keyText);
      QApplication::sendEvent(form.Search(), &press);
      QApplication::sendEvent(form.Search(), &release);
      if (form.Search()->text() != s) {
        std::fprintf(stderr, "typing went wrong: \"%s\"\n", qPrintable(form.Search()->text()));
        return 2;
      }
      form.Search()->ApplyNow();
      QCoreApplication::processEvents();
      const double ms = WallMs() - t0;
      keys.push_back(ms);
      worst = std::max(worst, ms);
      if (s == needle) shown = t.ViewCount();
    }
  }
  const double key = Median(keys);
  const double read = Median(reads);
  const double grep = Median(greps);
  std::printf("accounts: %d rows, account file %lld bytes, %d runs, load average %s\n",
              t.RowCount(), static_cast<long long>(QFileInfo(QString::fromStdString(accu)).size()),
              runs, uibench::LoadAverage().c_str());
  std::printf("read account file (wall): %.1f ms\n", read);
  std::printf("grep -ci over the file (wall): %.1f ms\n", grep);
  std::printf(
      "keystroke re-filter (wall, median of %zu): %.2f ms  (worst %.2f ms), \"%s\" shows %d\n",
      keys.size(), key, worst, qPrintable(needle), shown);
  std::printf("ratio keystroke/read: %.3f (target <= 0.1), worst/read: %.3f\n", key / read,
              worst / read);
  std::printf("ratio keystroke/grep: %.2f\n", key / grep);
  return key / read <= 0.1 ? 0 : 1;
}
