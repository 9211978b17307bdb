// A bulk change of 10,000 highlighted rows in the main window: the preview (the plan and the
// dialog's list) and the apply (the values stored, the view judged, the grid and the editor
// repainted), each against the time the account file reader takes for the same file in the
// same run (target: the apply below one read).
//
//   kov-bench-ui_bulk [--accounts N] [--rows N] [--runs N]
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "UiBench.h"
#include "store/AccountTable.h"
#include "store/ReadAcc.h"
#include "store/RowEdits.h"
#include "ui/commands/BulkChangeDialog.h"
#include "ui/commands/Commands.h"
#include "ui/grid/AccountGrid.h"
#include "ui/mainwindow/MainWindow.h"

using uibench::Median;
using uibench::WallMs;

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int accounts = 100000, rows = 10000, runs = 6;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--accounts") && i + 1 < argc)
      accounts = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
      rows = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
      runs = std::max(2, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: kov-bench-ui_bulk [--accounts N] [--rows N] [--runs N]\n");
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

  std::vector<double> reads, previews, applies;
  auto timeRead = [&] {
    kov::AccountTable table;
    const double t0 = WallMs();
    kov::ReadAccountFile(table, accu, {});
    reads.push_back(WallMs() - t0);
  };
  timeRead();

  kov::MainWindow form(programDir);
  kov::Commands commands(form);
  form.show();
  for (const double until = WallMs() + 300; WallMs() < until;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  for (QWidget* hint : form.findChildren<QWidget*>(QStringLiteral("BalloonHint"))) hint->close();
  kov::AccountTable& t = form.Table();
  rows = std::min(rows, t.ViewCount());
  // Every tenth row from the top, as ctrl-clicks and shift-clicks leave them: many ranges.
  std::vector<kov::RowId> highlighted;
  for (int i = 0; static_cast<int>(highlighted.size()) < rows;
       i += std::max(1, t.ViewCount() / rows))
    highlighted.push_back(t.ViewRow(i % t.ViewCount()));
  form.GridView()->HighlightRows(highlighted);
  QCoreApplication::processEvents();
  int changed = 0;
  for (int r = 0; r < runs; ++r) {
    timeRead();
    // Block, then unblock: every run changes every row.
    const kov::RowEdit edit{kov::RowEdit::Kind::Blocked, r % 2 == 0};
    double t0 = WallMs();
    const std::vector<kov::RowId> selected = form.GridView()->SelectedRows();
    auto* dialog = new kov::BulkChangeDialog(t, selected, edit, &form);
    dialog->show();
    QCoreApplication::processEvents();
    previews.push_back(WallMs() - t0);
    changed = static_cast<int>(dialog->Plan().rows.size());
    const kov::BulkPlan plan = dialog->Plan();
    delete dialog;
    QCoreApplication::processEvents();
    t0 = WallMs();
    kov::ApplyBulkChange(t, plan);
    if (form.GridView()->HighlightedCount() != rows) form.GridView()->HighlightRows(highlighted);
    form.FillAccountEditor();
    form.repaint();
    QCoreApplication::processEvents();
    applies.push_back(WallMs() - t0);
  }
  const double read = Median(reads), preview = Median(previews), apply = Median(applies);
  std::printf(
      "accounts: %d rows, account file %lld bytes, %d highlighted, %d changed per run, "
      "%d runs, load average %s\n",
      t.RowCount(), static_cast<long long>(QFileInfo(QString::fromStdString(accu)).size()), rows,
      changed, runs, uibench::LoadAverage().c_str());
  std::printf("read account file (wall, median): %.1f ms\n", read);
  std::printf("preview: plan and list (wall, median): %.1f ms\n", preview);
  std::printf("apply: store, view, repaint (wall, median): %.1f ms\n", apply);
  std::printf("ratio apply/read: %.3f (target < 1), preview/read: %.3f\n", apply / read,
              preview / read);
  return apply < read ? 0 : 1;
}
