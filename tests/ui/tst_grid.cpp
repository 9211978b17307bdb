#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include "support/MainWindowFixture.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/FilterTabs.h"
#include "ui/grid/GridIcons.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

// One account per line of interest: level, block/jail state, character uids.
QByteArray Accounts() {
  return AccountFile({
      "// test accounts",
      "[Alice]",
      "PASSWORD=pw1",
      "PLEVEL=4",
      "EMAIL=alice@example.org",
      "CHARUID=0x1",
      "CHARUID=0x2",
      "[bob]",
      "PASSWORD=pw2",
      "PLEVEL=1",
      "BLOCK=1",
      "PRIV=2000",
      "[Carl]",
      "PLEVEL=counselor",
      "JAIL=1",
      "CHARUID=0x3",
      "[dave]",
      "PLEVEL=0",
      "[remoteadmin]",
      "PLEVEL=1",
      "[Olga]",
      "PLEVEL=7",
      "BLOCK=2",
      "[Adam]",
      "PLEVEL=ADMIN",
      "BLOCK=0",
      "[Dan]",
      "PLEVEL=Developer",
      "[Num]",
      "PLEVEL=12",
      "[Boss]",
      "PLEVEL=Administrator",
      "[EOF]",
  });
}

QStringList Names(MainWindow& f) {
  QStringList out;
  auto& m = f.Model();
  for (int r = 0; r < m.rowCount(); ++r)
    out << m.data(m.index(r, AccountModel::ColAccount), Qt::DisplayRole).toString();
  return out;
}

QString CurrentName(MainWindow& f) {
  return QString::fromLatin1(f.Table().Text(dbaccount).data(),
                             static_cast<int>(f.Table().Text(dbaccount).size()));
}

void ClickTab(QTabBar* bar, int index) {
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void ClickTitle(MainWindow& f, int column) {
  QHeaderView* h = f.Grid()->horizontalHeader();
  QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                    QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, 8));
}

QString EntryText(MainWindow& f) { return f.findChild<QLabel*>("EntryPanel")->text(); }
QString StateText(MainWindow& f) { return f.findChild<QLabel*>("StatePanel")->text(); }

}  // namespace

class TestGrid : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    UiText::Instance().RegisterUiTextKeys();
  }

  void startShowsAllRowsInLoadOrder() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    QAbstractItemModelTester tester(&f.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(Names(f), (QStringList{"Alice", "bob", "Carl", "dave", "remoteadmin", "Olga", "Adam",
                                    "Dan", "Num", "Boss"}));
    QCOMPARE(EntryText(f), QStringLiteral("Entry: 10"));
    QCOMPARE(StateText(f), QStringLiteral("Status: saved"));
    QHeaderView* h = f.Grid()->horizontalHeader();
    QCOMPARE(h->sortIndicatorSection(), int(AccountModel::ColAccount));
    QCOMPARE(h->sortIndicatorOrder(), Qt::AscendingOrder);
    // The marker is drawn in the Account title and in no other.
    QVERIFY(h->isSortIndicatorShown());
    fx.Show();
    const QImage titleImage = h->viewport()->grab().toImage();
    auto hasMarker = [&](int column) {
      const int left = h->sectionViewportPosition(column);
      for (int x = left; x < left + h->sectionSize(column); ++x)
        for (int y = 0; y < titleImage.height(); ++y)
          if (titleImage.pixelColor(x, y) == QColor(60, 60, 60)) return true;
      return false;
    };
    QVERIFY(hasMarker(AccountModel::ColAccount));
    QVERIFY(!hasMarker(AccountModel::ColPassword));
    QVERIFY(f.Grid()->isColumnHidden(AccountModel::ColPriv));
    QCOMPARE(f.Tabs()->FilterTabBar()->currentIndex(), 0);
    QVERIFY(f.Tabs()->CharCountTabBar()->isHidden());
    QCOMPARE(CurrentName(f), QStringLiteral("Alice"));
    QCOMPARE(f.Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(f.Grid()->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(f.Grid()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(f.Grid()->verticalHeader()->defaultSectionSize(), 17);
    QCOMPARE(h->height(), 17);
    QVERIFY(!(f.Grid()->focusPolicy() & Qt::TabFocus));
    // Titles and their hints follow the texts; the flags column keeps its fixed title.
    const QStringList titles{"S", "Account", "Password", "PLevel", "EMail", "Priv Flags", "Days"};
    const QStringList hints{"Status", "Account Name",         "Password", "User Level", "EMail",
                            "",       "Last Login x days ago"};
    for (int c = 0; c < 7; ++c) {
      QCOMPARE(f.Model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), titles[c]);
      QCOMPARE(f.Model().headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString(), hints[c]);
    }
  }

  void tabsFilterRows_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("All") << 0 << QStringList{"Alice", "bob",  "Carl", "dave", "remoteadmin",
                                             "Olga",  "Adam", "Dan",  "Num",  "Boss"};
    QTest::newRow("Guest") << 1 << QStringList{"dave"};
    QTest::newRow("Player") << 2 << QStringList{"bob", "remoteadmin"};
    // Any letter case; "Developer" holds DEV, "Administrator" holds ADMIN; a bare number only
    // shows under All.
    QTest::newRow("Staff") << 3 << QStringList{"Alice", "Carl", "Olga", "Adam", "Dan", "Boss"};
    QTest::newRow("Blocked") << 4 << QStringList{"bob"};
    QTest::newRow("Jailed") << 5 << QStringList{"Carl"};
    QTest::newRow("Char Count 0") << 6 << QStringList{"bob",  "dave", "remoteadmin", "Olga",
                                                      "Adam", "Dan",  "Num",         "Boss"};
    // BLOCK=2 is neither blocked nor not blocked.
    QTest::newRow("Not blocked") << 7 << QStringList{"Alice", "Carl", "dave", "remoteadmin",
                                                     "Adam",  "Dan",  "Num",  "Boss"};
  }
  void tabsFilterRows() {
    QFETCH(int, tab);
    QFETCH(QStringList, names);
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    QAbstractItemModelTester tester(&f.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    ClickTab(f.Tabs()->FilterTabBar(), tab);
    QCOMPARE(f.Tabs()->FilterTabBar()->currentIndex(), tab);
    QCOMPARE(Names(f), names);
    QCOMPARE(EntryText(f), QStringLiteral("Entry: %1").arg(names.size()));
    QCOMPARE(f.CountVisibleRows(), names.size());
    QCOMPARE(CurrentName(f), names.first());  // the first visible row is current
    QCOMPARE(f.Grid()->currentIndex().row(), 0);
    QCOMPARE(f.Tabs()->CharCountTabBar()->isVisible(), tab == 6);
    QCOMPARE(f.Table().RowCount(), 10);  // the table still holds every row
  }

  void charCountTabs() {
    MainWindowFixture fx(Accounts() + AccountFile({"[Gap]", "PLEVEL=1"}));
    // uids in the first and third field only count as two.
    MainWindow& f = fx.Form();
    f.Table().Locate("Gap");
    f.Table().Edit();
    f.Table().SetText(dbcharuid1, "0x10");
    f.Table().SetText(dbcharuid3, "0x11");
    f.Table().Post();
    fx.Show();
    ClickTab(f.Tabs()->FilterTabBar(), 6);
    QVERIFY(f.Tabs()->CharCountTabBar()->isVisible());
    QCOMPARE(f.Tabs()->CharCountTabBar()->currentIndex(), 0);
    ClickTab(f.Tabs()->CharCountTabBar(), 2);
    QCOMPARE(Names(f), (QStringList{"Alice", "Gap"}));
    QCOMPARE(EntryText(f), QStringLiteral("Entry: 2"));
    ClickTab(f.Tabs()->CharCountTabBar(), 5);
    QCOMPARE(Names(f), QStringList{});
    QCOMPARE(EntryText(f), QStringLiteral("Entry: 0"));
    QCOMPARE(f.Table().Current(), kNoRow);
    ClickTab(f.Tabs()->FilterTabBar(), 0);
    QVERIFY(f.Tabs()->CharCountTabBar()->isHidden());
    // The second row remembers its choice.
    ClickTab(f.Tabs()->FilterTabBar(), 6);
    QCOMPARE(f.Tabs()->CharCountTabBar()->currentIndex(), 5);
    // The filter reset goes back to All without the change handler.
    f.FilterReset();
    QCOMPARE(f.Tabs()->FilterTabBar()->currentIndex(), 0);
    QVERIFY(f.Tabs()->CharCountTabBar()->isHidden());
    QCOMPARE(f.Tabs()->CharCountTabBar()->currentIndex(), 5);
    QVERIFY(!f.Table().Filtered());
    QCOMPARE(f.Model().rowCount(), 11);
    QCOMPARE(CurrentName(f), QStringLiteral("Alice"));
  }

  void titleClicksSort() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    QHeaderView* h = f.Grid()->horizontalHeader();
    ClickTitle(f, AccountModel::ColAccount);  // the marker starts ascending: descending first
    QCOMPARE(h->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(Names(f), (QStringList{"remoteadmin", "Olga", "Num", "dave", "Dan", "Carl", "Boss",
                                    "bob", "Alice", "Adam"}));
    QCOMPARE(f.Grid()->currentIndex().row(), 0);
    QCOMPARE(CurrentName(f), QStringLiteral("remoteadmin"));
    ClickTitle(f, AccountModel::ColAccount);
    QCOMPARE(h->sortIndicatorOrder(), Qt::AscendingOrder);
    QCOMPARE(Names(f), (QStringList{"Adam", "Alice", "bob", "Boss", "Carl", "Dan", "dave", "Num",
                                    "Olga", "remoteadmin"}));
    // Rows added later stay at the end until the next title click.
    f.Table().Append();
    f.Table().SetText(dbaccount, "Aaron");
    f.Table().Post();
    QCOMPARE(Names(f).last(), QStringLiteral("Aaron"));
    // The filter still applies to the sorted table.
    ClickTab(f.Tabs()->FilterTabBar(), 2);
    QCOMPARE(Names(f), (QStringList{"bob", "remoteadmin"}));
    // Later sorts see added and renamed rows (collation keys are kept between sorts).
    ClickTab(f.Tabs()->FilterTabBar(), 0);
    QVERIFY(f.Table().Locate("Num"));
    f.Table().Edit();
    f.Table().SetText(dbaccount, "Zed");
    f.Table().Post();
    ClickTitle(f, AccountModel::ColAccount);
    QCOMPARE(Names(f), (QStringList{"Zed", "remoteadmin", "Olga", "dave", "Dan", "Carl", "Boss",
                                    "bob", "Alice", "Adam", "Aaron"}));
    // After a reload (Yes: drop the pending rows) the rows are new ones.
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Yes);
    f.edReloadAccExecute();
    ClickTitle(f, AccountModel::ColAccount);
    QCOMPARE(Names(f), (QStringList{"Adam", "Alice", "bob", "Boss", "Carl", "Dan", "dave", "Num",
                                    "Olga", "remoteadmin"}));
  }

  void levelsSortAlphabetically() {
    QStringList lines;
    const QStringList levels{"Owner", "Guest", "Seer", "Admin", "GM", "Player", "Dev", "Counselor"};
    for (int i = 0; i < levels.size(); ++i)
      lines << QStringLiteral("[acc%1]").arg(i) << "PLEVEL=" + levels[i];
    MainWindowFixture fx(AccountFile(lines));
    fx.Show();
    MainWindow& f = fx.Form();
    ClickTitle(f, AccountModel::ColPLevel);
    QCOMPARE(f.Grid()->horizontalHeader()->sortIndicatorSection(), int(AccountModel::ColPLevel));
    QCOMPARE(f.Grid()->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    QStringList shown;
    for (int r = 0; r < f.Model().rowCount(); ++r)
      shown << f.Model()
                   .data(f.Model().index(r, AccountModel::ColPLevel), Qt::DisplayRole)
                   .toString();
    QCOMPARE(shown,
             (QStringList{"Admin", "Counselor", "Dev", "GM", "Guest", "Owner", "Player", "Seer"}));
  }

  void equalKeysKeepAddOrderReversedWhenDescending() {
    MainWindowFixture fx(AccountFile({"[z1]", "PLEVEL=1", "[a1]", "PLEVEL=0", "[m1]", "PLEVEL=1",
                                      "[b1]", "PLEVEL=0", "[c1]", "PLEVEL=1"}));
    fx.Show();
    MainWindow& f = fx.Form();
    ClickTitle(f, AccountModel::ColAccount);  // an order that differs from the add order
    ClickTitle(f, AccountModel::ColPLevel);
    QCOMPARE(Names(f), (QStringList{"a1", "b1", "z1", "m1", "c1"}));
    ClickTitle(f, AccountModel::ColPLevel);
    QCOMPARE(Names(f), (QStringList{"c1", "m1", "z1", "b1", "a1"}));
  }

  void textsSortByLocaleCollationIntegersNumerically() {
    MainWindowFixture fx(
        AccountFile({"[zeta]", QString::fromLatin1("[\xC4rger]"), "[alpha]", "[Beta]", "[beta]"}));
    fx.Show();
    MainWindow& f = fx.Form();
    ClickTitle(f, AccountModel::ColAccount);
    ClickTitle(f, AccountModel::ColAccount);
    // Not byte order (which puts "Beta" first and "Ärger" last); case decides only between
    // otherwise equal names.
    const QStringList names = Names(f);
    QCOMPARE(names.first(), QStringLiteral("alpha"));
    QCOMPARE(names.at(1), QString::fromUtf8("Ärger"));
    QCOMPARE(names.last(), QStringLiteral("zeta"));
    QVERIFY(names.indexOf("beta") >= 0 && names.indexOf("Beta") >= 0);
    QVERIFY(names.indexOf("beta") != names.indexOf("Beta"));

    // Days: numbers in numeric order, an empty cell (a new account) below every number.
    AccountTable& t = f.Table();
    const int days[] = {100, 9, -1, 20, 5};
    int i = 0;
    for (RowId r : std::vector<RowId>(t.Order())) {
      t.SetCurrent(r);
      t.Edit();
      t.SetInt(dbcounter, days[i++]);
      t.Post();
    }
    t.Append();
    t.SetText(dbaccount, "new");
    t.Post();
    ClickTitle(f, AccountModel::ColDays);
    QStringList shown;
    for (int r = 0; r < f.Model().rowCount(); ++r)
      shown
          << f.Model().data(f.Model().index(r, AccountModel::ColDays), Qt::DisplayRole).toString();
    QCOMPARE(shown, (QStringList{"", "-1", "5", "9", "20", "100"}));
  }

  void storedRowIsJudgedAgain() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    ClickTab(f.Tabs()->FilterTabBar(), 3);  // Staff
    AccountTable& t = f.Table();
    QVERIFY(t.Locate("Carl"));
    QCOMPARE(f.Grid()->currentIndex().row(), 1);
    t.Edit();
    t.SetText(dbplevel, "Player");
    t.Post();
    QCOMPARE(Names(f), (QStringList{"Alice", "Olga", "Adam", "Dan", "Boss"}));
    QCOMPARE(CurrentName(f), QStringLiteral("Olga"));  // the next visible row
    QCOMPARE(f.Grid()->currentIndex().row(), 1);
    QVERIFY(t.Locate("Boss"));
    t.Edit();
    t.SetText(dbplevel, "Guest");
    t.Post();
    QCOMPARE(CurrentName(f), QStringLiteral("Dan"));  // else the previous one
    QCOMPARE(StateText(f), QStringLiteral("Status: not saved"));
  }

  void anyStoreMarksUnsaved() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    QCOMPARE(StateText(f), QStringLiteral("Status: saved"));
    QVERIFY(f.ChangesSaved());
    f.Table().Edit();
    f.Table().Post();  // nothing visible changed
    QCOMPARE(StateText(f), QStringLiteral("Status: not saved"));
    QVERIFY(!f.ChangesSaved());
  }

  void countVisibleRowsEndsMultiSelection() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    auto* grid = f.GridView();
    auto cellCenter = [&](int row) { return grid->visualRect(f.Model().index(row, 1)).center(); };
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCenter(1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellCenter(3));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCenter(5));
    QCOMPARE(grid->SelectedRows().size(), size_t(4));
    QCOMPARE(f.Table().MarkedRows().size(), size_t(4));
    QCOMPARE(CurrentName(f), QStringLiteral("Olga"));
    QCOMPARE(f.CountVisibleRows(), 10);
    QCOMPARE(grid->SelectedRows().size(), size_t(1));
    QCOMPARE(f.Table().MarkedRows().size(), size_t(1));
    QCOMPARE(CurrentName(f), QStringLiteral("Olga"));
  }

  void columnsScaleToClientWidth() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    for (int width : {640, 900, 1200}) {
      f.resize(width, 600);
      QTRY_COMPARE(f.Grid()->viewport()->width() > 0, true);
      QCoreApplication::processEvents();
      auto* grid = f.Grid();
      const int client = grid->viewport()->width();
      int sum = 0;
      for (int c = 0; c < 7; ++c)
        if (!grid->isColumnHidden(c)) sum += grid->columnWidth(c);
      QCOMPARE(sum, client);
      QCOMPARE(grid->columnWidth(AccountModel::ColAccount), qRound(129.0 * client / 586));
      QCOMPARE(grid->columnWidth(AccountModel::ColStatus), qRound(15.0 * client / 586));
    }
  }

  void iconsAndHints() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    AccountTable& t = f.Table();
    auto iconOf = [&](const char* name) {
      t.Locate(name);
      return AccountModel::IconOf(t, t.Current());
    };
    QCOMPARE(iconOf("remoteadmin"), AccountIcon::RemoteAdmin);  // by name, whatever the level
    QCOMPARE(iconOf("Olga"), AccountIcon::Owner);
    QCOMPARE(iconOf("Adam"), AccountIcon::Admin);  // "ADMIN" in any case
    QCOMPARE(iconOf("Boss"), AccountIcon::None);   // "Administrator" is not "Admin"
    QCOMPARE(iconOf("Alice"), AccountIcon::None);

    auto* grid = f.GridView();
    auto cell = [&](int row, int col) { return grid->visualRect(f.Model().index(row, col)); };
    // Status words as the status cell's hint, whatever fits.
    t.Locate("bob");
    t.Edit();
    t.SetInt(dbstatus, StatusChanged);
    t.Post();
    t.Locate("dave");
    t.Edit();
    t.SetInt(dbstatus, StatusNew);
    t.Post();
    QCOMPARE(grid->CellHint(cell(0, 0).center()), QStringLiteral("Stored"));
    QCOMPARE(grid->CellHint(cell(1, 0).center()), QStringLiteral("Changed"));
    QCOMPARE(grid->CellHint(cell(3, 0).center()), QStringLiteral("New"));
    // Other cells: their text only when it does not fit.
    QCOMPARE(grid->CellHint(cell(0, AccountModel::ColAccount).center()), QString());
    const QString longMail = QString(60, QLatin1Char('m')) + "@example.org";
    t.Locate("Alice");
    t.Edit();
    t.SetText(dbemail, longMail.toStdString());
    t.Post();
    QCOMPARE(grid->CellHint(cell(0, AccountModel::ColEMail).center()), longMail);

    // What the operator sees: a green ball in a stored row's status cell, the e-mail
    // underlined in the link colour.
    const QImage shot = grid->viewport()->grab().toImage();
    const QRect s = cell(0, 0);
    const QColor ball = shot.pixelColor(s.left() + s.height() / 2, s.center().y());
    QVERIFY2(ball.green() > ball.red() + 40 && ball.green() > ball.blue() + 40,
             qPrintable(ball.name()));
    QVERIFY(f.Model()
                .data(f.Model().index(0, AccountModel::ColEMail), Qt::FontRole)
                .value<QFont>()
                .underline());
    QCOMPARE(f.Model()
                 .data(f.Model().index(0, AccountModel::ColEMail), Qt::ForegroundRole)
                 .value<QColor>(),
             QGuiApplication::palette().color(QPalette::Link));
  }

  void contextMenuHoldsTheCommands() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    const QList<QAction*> items = f.GridView()->PopupMenu()->actions();
    QCOMPARE(items.size(), 14);
    QCOMPARE(items[0], f.edNewAccount);
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2], f.edDeleteAccount);
    QCOMPARE(items[3], f.edSendEmail);
    QVERIFY(items[4]->isSeparator());
    QCOMPARE(items[5], f.edRevertAccount);
    QCOMPARE(items[6], f.edAccountHistory);
    QVERIFY(items[7]->isSeparator());
    QCOMPARE(items.mid(8), f.BulkActions());
  }

  void emptyTableShowsNothingUnderEveryTab() {
    MainWindowFixture fx(QByteArray{});
    fx.Show();
    MainWindow& f = fx.Form();
    for (int tab = 0; tab < 8; ++tab) {
      ClickTab(f.Tabs()->FilterTabBar(), tab);
      QCOMPARE(f.Model().rowCount(), 0);
      QCOMPARE(EntryText(f), QStringLiteral("Entry: 0"));
    }
    ClickTitle(f, AccountModel::ColAccount);
    QCOMPARE(f.Model().rowCount(), 0);
  }
};

QTEST_MAIN(TestGrid)
#include "tst_grid.moc"
