// Bulk changes as the operator makes them: rows highlighted in the grid, a command from the
// row menu or the Edit menu, the preview, Apply, Revert Account and Save.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "console/ServerConsole.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/BulkChangeDialog.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

// A server that is not running: Save writes the update file and types nothing.
class StoppedServer : public IServerConsole {
 public:
  bool IsServerRunning(const std::string&) override { return false; }
  ConsoleResult SendConsoleCommand(const std::string&, const std::string&) override {
    ++sent;
    return ConsoleResult::Make(ConsoleStatus::Delivered);
  }
  int sent = 0;
};

QString Name(int i) { return QStringLiteral("acc%1").arg(i, 2, 10, QLatin1Char('0')); }

// acc01..acc14; acc13 is blocked already, acc14 carries a flag text that is not a number.
QByteArray Accounts() {
  QStringList lines{"// accounts"};
  for (int i = 1; i <= 14; ++i) {
    lines << "[" + Name(i) + "]"
          << "PASSWORD=pw"
          << "PLEVEL=1";
    if (i == 13)
      lines << "PRIV=2000"
            << "BLOCK=1";
    if (i == 14) lines << "PRIV=zz";
  }
  lines << "[EOF]";
  return AccountFile(lines);
}

int RowOf(MainWindow& f, const QString& name) {
  for (int i = 0; i < f.Table().ViewCount(); ++i)
    if (QString::fromLatin1(f.Table().Text(f.Table().ViewRow(i), dbaccount)) == name) return i;
  return -1;
}

RowId Row(MainWindow& f, const QString& name) { return f.Table().ViewRow(RowOf(f, name)); }

// A click on `first`, a shift-click on `last`: the rows between are highlighted.
void Highlight(MainWindow& f, const QString& first, const QString& last) {
  QTableView* grid = f.Grid();
  grid->setFocus();
  auto at = [&](const QString& n) {
    return grid->visualRect(f.Model().index(RowOf(f, n), AccountModel::ColAccount)).center();
  };
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(first));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(last));
}

// Opens the row menu over `name` and clicks `action` in it, with `dialog` run on the preview.
void FromRowMenu(MainWindow& f, const QString& name, QAction* action,
                 const std::function<void(BulkChangeDialog&)>& dialog) {
  QTableView* grid = f.Grid();
  const QPoint pos =
      grid->visualRect(f.Model().index(RowOf(f, name), AccountModel::ColAccount)).center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, pos, grid->viewport()->mapToGlobal(pos));
  QApplication::sendEvent(grid->viewport(), &event);
  QMenu* menu = f.GridView()->PopupMenu();
  QTRY_VERIFY(menu->isVisible());
  QVERIFY(menu->actions().contains(action));
  QVERIFY(action->isEnabled());
  bool shown = false;
  QTimer::singleShot(0, &f, [&] {
    auto* d = f.findChild<BulkChangeDialog*>(QStringLiteral("BulkChangeDialog"));
    shown = d && d->isVisible();
    if (d) dialog(*d);
  });
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  QVERIFY(shown);
}

void Apply(BulkChangeDialog& d) { QTest::mouseClick(d.ApplyButton(), Qt::LeftButton); }

QStringList Statuses(MainWindow& f, int from, int to) {
  QStringList out;
  for (int i = from; i <= to; ++i)
    out << QString::fromStdString(f.Table().DisplayText(Row(f, Name(i)), dbstatus));
  return out;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Sections(const QByteArray& file) {
  QStringList out;
  for (const QByteArray& l : file.split('\n'))
    if (l.trimmed().startsWith('[')) out << QString::fromLatin1(l.trimmed());
  return out;
}

}  // namespace

class TestBulk : public QObject {
  Q_OBJECT

  struct Setup {
    Setup() : fixture(Accounts(), AccountFile({"// updates"})), scoped(server) {
      fixture.Form().edReloadAccExecute();
      fixture.MakeCommands();
      fixture.Show();
    }
    MainWindow& Form() { return fixture.Form(); }
    MainWindowFixture fixture;
    StoppedServer server;
    ScopedServerConsole scoped;
  };

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void init() { MessageDialogSeam::Clear(); }

  void blockPreviewApplyRevertSave() {
    Setup s;
    MainWindow& f = s.Form();
    Highlight(f, Name(1), Name(14));
    QCOMPARE(f.GridView()->HighlightedCount(), 14);
    const QString badFlags = QString::fromLatin1(f.Table().Text(Row(f, Name(14)), dbpriv));
    QString heading, notes;
    int listed = 0;
    QStringList first;
    FromRowMenu(f, Name(5), f.edBulkBlock, [&](BulkChangeDialog& d) {
      heading = d.HeadingLabel()->text();
      notes = d.NotesLabel()->text();
      listed = d.List()->topLevelItemCount();
      for (int c = 0; c < 3; ++c) first << d.List()->topLevelItem(0)->text(c);
      if (qEnvironmentVariableIsSet("KOV_SCREENSHOT_DIR"))
        d.grab().save(qEnvironmentVariable("KOV_SCREENSHOT_DIR") + "/bulk-preview.png");
      Apply(d);
    });
    QCOMPARE(heading, QStringLiteral("12 accounts: BLOCK 0 -> 1"));
    QCOMPARE(listed, 12);
    QCOMPARE(first, QStringList({"acc01", "0", "1"}));
    QVERIFY2(notes.contains("1 already so") && notes.contains("1 not changed"), qPrintable(notes));
    // Pending, blocked by both the field and the flag bit, still highlighted.
    QCOMPARE(Statuses(f, 1, 14),
             QStringList({"1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "1", "0", "0"}));
    QCOMPARE(QString::fromLatin1(f.Table().Text(Row(f, Name(3)), dbpriv)),
             QStringLiteral("$02000"));
    QCOMPARE(f.Table().IntOr0(Row(f, Name(3)), dbblock), 1);
    QCOMPARE(QString::fromLatin1(f.Table().Text(Row(f, Name(14)), dbpriv)), badFlags);
    QCOMPARE(f.GridView()->HighlightedCount(), 14);
    QVERIFY(!f.ChangesSaved());
    QVERIFY(f.Log()->LineText(f.Log()->LineCount() - 1).contains("12"));

    // Revert Account takes the whole change back.
    QVERIFY(f.edRevertAccount->isEnabled());
    f.edRevertAccount->trigger();
    QCOMPARE(Statuses(f, 1, 14), QStringList(14, "0"));
    QCOMPARE(QString::fromLatin1(f.Table().Text(Row(f, Name(3)), dbpriv)), QStringLiteral("$0"));
    QCOMPARE(f.Table().IntOr0(Row(f, Name(3)), dbblock), 0);
    QVERIFY(f.ChangesSaved());
    QCOMPARE(Sections(ReadAll(s.fixture.accountFolder + "/VornexAcct.scp")), QStringList());

    // Again from the Edit menu, then Save: one update file, one section per changed account.
    Highlight(f, Name(1), Name(14));
    QVERIFY(f.MenuEdit()->actions().contains(f.edBulkBlock));
    QTimer::singleShot(0, &f, [&] {
      auto* d = f.findChild<BulkChangeDialog*>(QStringLiteral("BulkChangeDialog"));
      QVERIFY(d);
      Apply(*d);
    });
    f.edBulkBlock->trigger();
    f.edLiveUpdate->trigger();
    const QByteArray bytes = ReadAll(s.fixture.accountFolder + "/VornexAcct.scp");
    QStringList expected;
    for (int i = 1; i <= 12; ++i) expected << "[" + Name(i) + "]";
    QCOMPARE(Sections(bytes), expected);
    QCOMPARE(bytes.count("BLOCK=1\r\n"), 12);
    QCOMPARE(bytes.count("PRIV=02000\r\n"), 12);
    QCOMPARE(s.server.sent, 0);
  }

  void cancelStoresNothing() {
    Setup s;
    MainWindow& f = s.Form();
    Highlight(f, Name(2), Name(6));
    QString heading;
    FromRowMenu(f, Name(2), f.edBulkJail, [&](BulkChangeDialog& d) {
      heading = d.HeadingLabel()->text();
      QTest::mouseClick(d.CancelButton(), Qt::LeftButton);
    });
    QCOMPARE(heading, QStringLiteral("5 accounts: JAIL 0 -> 1"));
    QCOMPARE(Statuses(f, 1, 14), QStringList(14, "0"));
    QVERIFY(f.ChangesSaved());
    // Escape is Cancel too.
    FromRowMenu(f, Name(2), f.edBulkJail,
                [&](BulkChangeDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    QCOMPARE(Statuses(f, 1, 14), QStringList(14, "0"));
  }

  void levelAndFlagFollowThePick() {
    Setup s;
    MainWindow& f = s.Form();
    Highlight(f, Name(1), Name(4));
    QStringList headings;
    FromRowMenu(f, Name(1), f.edBulkLevel, [&](BulkChangeDialog& d) {
      d.LevelChoice()->setCurrentIndex(4);
      headings << d.HeadingLabel()->text();
      d.LevelChoice()->setCurrentIndex(1);  // what they are: nothing to change
      headings << d.HeadingLabel()->text();
      headings << (d.ApplyButton()->isEnabled() ? "apply" : "no apply");
      d.LevelChoice()->setCurrentIndex(4);
      Apply(d);
    });
    QCOMPARE(headings,
             QStringList({"4 accounts: PLEVEL Player -> GM", "Nothing to change.", "no apply"}));
    QCOMPARE(QString::fromLatin1(f.Table().Text(Row(f, Name(4)), dbplevel)), QStringLiteral("GM"));
    QCOMPARE(Statuses(f, 1, 5), QStringList({"1", "1", "1", "1", "0"}));

    Highlight(f, Name(12), Name(13));
    FromRowMenu(f, Name(12), f.edBulkFlag, [&](BulkChangeDialog& d) {
      d.FlagChoice()->setCurrentIndex(1);  // GM Privs
      headings = {d.HeadingLabel()->text()};
      d.SetOrClearChoice()->setCurrentIndex(1);  // cleared: not set on either
      headings << d.HeadingLabel()->text();
      d.SetOrClearChoice()->setCurrentIndex(0);
      Apply(d);
    });
    QCOMPARE(headings, QStringList({"2 accounts: PRIV $0 -> $00002 (1), $2000 -> $02002 (1)",
                                    "Nothing to change."}));
  }

  void severalRowsNeeded() {
    Setup s;
    MainWindow& f = s.Form();
    Highlight(f, Name(3), Name(3));
    for (QAction* a : f.BulkActions()) QVERIFY(!a->isEnabled());
    Highlight(f, Name(3), Name(4));
    for (QAction* a : f.BulkActions()) QVERIFY(a->isEnabled());
    for (QAction* a : f.BulkActions()) QVERIFY(f.GridView()->PopupMenu()->actions().contains(a));
  }
};

QTEST_MAIN(TestBulk)
#include "tst_bulk.moc"
