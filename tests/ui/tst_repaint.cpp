// What the window does to repaint less must not change what it shows: the tab bar's kept
// pictures against the style's own drawing, the grid's lines, and value labels that keep
// their width.
#include <QEvent>
#include <QHBoxLayout>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>

#include "support/MainWindowFixture.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/CachedTabBar.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/widgets/ValueLabel.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

class LayoutRequests : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::LayoutRequest) ++count;
    return QObject::eventFilter(o, e);
  }
};

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace

class TestRepaint : public QObject {
  Q_OBJECT

 private slots:
  // Both bars go through the same states, revisits (kept pictures) among them, then a
  // renamed tab and a disabled bar, which must not show a kept picture of the old state.
  void TabBarPicturesMatchTheStylesDrawing() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);  // both bars as wide
    auto* cached = new CachedTabBar(&window);
    auto* plain = new QTabBar(&window);
    for (QTabBar* bar : {static_cast<QTabBar*>(cached), plain}) {
      bar->setDocumentMode(true);
      bar->setDrawBase(false);
      for (const char* caption : {"All", "Guest", "Player", "Staff", "Blocked"})
        bar->addTab(QString::fromLatin1(caption));
      layout->addWidget(bar);
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto same = [&] {
      Settle();
      return cached->grab().toImage() == plain->grab().toImage();
    };
    for (int index : {3, 1, 3, 0, 1, 3}) {
      cached->setCurrentIndex(index);
      plain->setCurrentIndex(index);
      QVERIFY2(same(), qPrintable(QStringLiteral("tab %1").arg(index)));
    }
    cached->setTabText(1, QStringLiteral("Gast"));
    plain->setTabText(1, QStringLiteral("Gast"));
    QVERIFY(same());
    cached->setEnabled(false);
    plain->setEnabled(false);
    QVERIFY(same());
  }

  void ValueLabelOnlyWidensAndShowsTheWholeText() {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* label = new ValueLabel(&window, 10);
    layout->addWidget(label);
    layout->addStretch(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    LayoutRequests requests;
    window.installEventFilter(&requests);
    const QFontMetrics fm = label->fontMetrics();

    label->SetValue(QStringLiteral("203.0.113.3"));
    Settle();
    QVERIFY(label->width() >= fm.horizontalAdvance(label->text()));
    const int wide = label->width();
    label->SetValue(QStringLiteral("255.255.255.255 and more"));
    Settle();
    QVERIFY(label->width() > wide);
    QVERIFY(label->width() >= fm.horizontalAdvance(label->text()));
    const int wider = label->width();
    const int before = requests.count;
    label->SetValue(QStringLiteral("1"));
    label->SetValue(QStringLiteral("10.0.0.1"));
    Settle();
    QCOMPARE(label->width(), wider);
    QCOMPARE(requests.count, before);  // a narrower value moves nothing
    QCOMPARE(label->text(), QStringLiteral("10.0.0.1"));
  }

  // Going back over rows already shown re-lays out nothing in the editor panel.
  void EditorPanelKeepsItsLayoutBetweenRows() {
    MainWindowFixture fx(AccountFile({
        "[a]",
        "PLEVEL=1",
        "LASTIP=10.0.0.1",
        "FIRSTIP=192.168.100.200",
        "CHARUID=0x1",
        "[b]",
        "PLEVEL=1",
        "LASTIP=1.2.3.4",
        "TOTALCONNECTTIME=123456",
        "[c]",
        "PLEVEL=1",
        "LASTCONNECTDATE=2025-09-22 07:34",
        "CHARUID=0x10766",
        "CHARUID=0x10767",
        "[EOF]",
    }));
    fx.Show();
    MainWindow& f = fx.Form();
    for (int row : {0, 1, 2, 0}) {
      f.Table().SetCurrentIndex(row);
      Settle();
    }
    LayoutRequests requests;
    f.Editor()->installEventFilter(&requests);
    for (int row : {1, 2, 0, 2, 1}) {
      f.Table().SetCurrentIndex(row);
      Settle();
    }
    QCOMPARE(requests.count, 0);
  }

  // The grid draws its lines itself; they stand where the cells end.
  void GridLinesStandAtTheCellEdges() {
    MainWindowFixture fx(AccountFile({"[a]", "PLEVEL=1", "[b]", "PLEVEL=2", "[EOF]"}));
    fx.Show();
    AccountGrid* grid = fx.Form().GridView();
    Settle();
    const QImage image = grid->viewport()->grab().toImage();
    QStyleOptionViewItem option;
    option.initFrom(grid);
    const QColor line = QColor::fromRgba(
        static_cast<QRgb>(grid->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, grid)));
    const int column = AccountModel::ColPassword;
    const int x = grid->columnViewportPosition(column) + grid->columnWidth(column) / 2;
    for (int row = 0; row < 2; ++row) {
      const int bottom = grid->rowViewportPosition(row) + grid->rowHeight(row) - 1;
      QCOMPARE(image.pixelColor(x, bottom).rgb(), line.rgb());
      QVERIFY(image.pixelColor(x, bottom - 1).rgb() != line.rgb());
    }
    const int right = grid->columnViewportPosition(column) + grid->columnWidth(column) - 1;
    QCOMPARE(image.pixelColor(right, grid->rowHeight(0) / 2).rgb(), line.rgb());
  }
};

QTEST_MAIN(TestRepaint)
#include "tst_repaint.moc"
