// A first start: no kov.ini. The window opens big enough for everything it holds in English
// and in German, centred, and says where to begin when no server is set.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/MainWindowFixture.h"
#include "ui/editor/EditorPanel.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/LanguageFile.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/PreferencesDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::MainWindowFixture;

namespace {

// Every caption of the editor panel and the status bar, every toggle and every column title
// that is narrower than its text.
QStringList CutTexts(MainWindow& w) {
  QStringList cut;
  for (QWidget* root : {static_cast<QWidget*>(w.Editor()), static_cast<QWidget*>(w.statusBar())}) {
    for (QLabel* l : root->findChildren<QLabel*>()) {
      if (!l->isVisible() || l->text().isEmpty()) continue;
      const int need = l->fontMetrics().horizontalAdvance(l->text());
      if (l->contentsRect().width() < need) cut << l->objectName() + ": " + l->text();
    }
    for (QAbstractButton* b : root->findChildren<QCheckBox*>()) {
      if (b->isVisible() && b->width() < b->sizeHint().width())
        cut << b->objectName() + ": " + b->text();
    }
  }
  QHeaderView* header = w.Grid()->horizontalHeader();
  for (int i = 0; i < header->count(); ++i) {
    if (header->isSectionHidden(i)) continue;
    const QString title = w.Grid()->model()->headerData(i, Qt::Horizontal).toString();
    // The title's text with the header's margins; a sort arrow takes room of its own.
    int need = header->fontMetrics().horizontalAdvance(title) + 8;
    if (header->isSortIndicatorShown() && header->sortIndicatorSection() == i) need += 12;
    if (header->sectionSize(i) < need) cut << "column " + title;
  }
  return cut;
}

}  // namespace

class TestFirstStart : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void cleanup() { MessageDialogSeam::Clear(); }

  void opensBigEnoughAndCentredInBothLanguages() {
    MainWindowFixture fx{MainWindowFixture::FirstStart{}};
    MainWindow& w = fx.Form();
    fx.Show();
    QVERIFY(w.width() >= MainWindow::kFirstStartMinimum.width());
    QVERIFY(w.height() >= MainWindow::kFirstStartMinimum.height());
    const QRect available = w.screen()->availableGeometry();
    QVERIFY(available.contains(w.frameGeometry()));
    QVERIFY(qAbs(w.geometry().center().x() - available.center().x()) <= 20);
    QVERIFY(qAbs(w.geometry().center().y() - available.center().y()) <= 40);
    QVERIFY2(CutTexts(w).isEmpty(), qPrintable(CutTexts(w).join("; ")));
    qInfo() << "first-start size" << w.size() << "on" << available;

    QCOMPARE(LoadLanguageFile(fx.programFolder, 1, {&w}), LanguageLoad::Loaded);
    w.ApplyUiText();
    QTest::qWait(0);
    QVERIFY2(CutTexts(w).isEmpty(), qPrintable(CutTexts(w).join("; ")));
    QCOMPARE(LoadLanguageFile(fx.programFolder, 0, {&w}), LanguageLoad::Loaded);
    w.ApplyUiText();
  }

  // The designed size is what an operator who stored it gets, and it is no first start.
  void storedBoundsAreKept() {
    MainWindowFixture fx(kovtest::AccountFile({"[a]", "PLEVEL=1"}));
    QCOMPARE(fx.Form().size(), QSize(800, 600));
    QVERIFY(!fx.Form().FirstStart());
  }

  void welcomeOffersThePreferencesAtTheServer_data() {
    QTest::addColumn<bool>("open");
    QTest::newRow("Yes opens them") << true;
    QTest::newRow("No leaves them") << false;
  }
  void welcomeOffersThePreferencesAtTheServer() {
    QFETCH(bool, open);
    MainWindowFixture fx{MainWindowFixture::FirstStart{}};
    MainWindow& w = fx.Form();
    QVERIFY(w.FirstStart());
    MessageDialogSeam::SetNextAnswer(open ? MsgDlgBtn::Yes : MsgDlgBtn::No);
    fx.MakeCommands();
    auto* prefs = w.findChild<PreferencesDialog*>();
    QVERIFY(prefs);
    bool shown = false;
    QWidget* focused = nullptr;
    // The question comes once the window is up; the dialog is closed as soon as it shows.
    QTimer poll;
    poll.setInterval(20);
    // The focus arrives with the dialog's activation, which may come a few ticks after it
    // shows on a loaded machine: wait for it, but not for ever (the dialog is modal).
    int ticks = 0;
    connect(&poll, &QTimer::timeout, prefs, [&] {
      if (!prefs->isVisible()) return;
      shown = true;
      focused = QApplication::focusWidget();
      if (focused == prefs->vornexdir() || ++ticks > 100) prefs->reject();
    });
    poll.start();
    fx.Show();
    QTRY_COMPARE(MessageDialogSeam::Calls().size(), qsizetype(1));
    const auto call = MessageDialogSeam::Calls()[0];
    QCOMPARE(call.text, FormatText(Ui("ext_Welcome_Question"), {Ui("f1_Action_SettingsForm")}));
    QCOMPARE(call.buttons, MsgDlgBtn::Yes | MsgDlgBtn::No);
    QStringList log;
    for (int i = 0; i < w.Log()->LineCount(); ++i) log << w.Log()->LineText(i).trimmed();
    QVERIFY(log.contains(Ui("ext_Welcome")));
    if (open) {
      QTRY_VERIFY(shown);
      QCOMPARE(focused, static_cast<QWidget*>(prefs->vornexdir()));
    } else {
      QTest::qWait(100);
      QVERIFY(!prefs->isVisible());
    }
  }

  // A kov.ini that names a server (the demo's) starts without the welcome.
  void aConfiguredServerSkipsTheWelcome() {
    MainWindowFixture fx{MainWindowFixture::FirstStart{}};
    QFile::remove(fx.programFolder + "/kov.ini");
    fx.form.reset();
    QFile ini(fx.programFolder + "/kov.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[SETTINGS]\r\nVORNEXDIR=/srv/shard/vornex-server\r\n");
    ini.close();
    fx.form = std::make_unique<MainWindow>(fx.programFolder);
    fx.MakeCommands();
    fx.Show();
    QTest::qWait(100);
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
  }
};

// The operator's screen of the report, 1280 x 900, instead of the offscreen default 800 x 600.
int main(int argc, char** argv) {
  QTemporaryDir dir;
  const QString config = dir.filePath("screen.json");
  QFile f(config);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write(R"({"screens": [{"name": "kov", "x": 0, "y": 0, "width": 1280, "height": 900,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  f.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  QApplication app(argc, argv);
  TestFirstStart test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}
#include "tst_firststart.moc"
