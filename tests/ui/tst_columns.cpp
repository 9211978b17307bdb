// Columns on demand through the real window: the titles' context menu shows a column with its
// values, sorting, the search and the exports follow it, and kov.ini keeps the choice.
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "support/MainWindowFixture.h"
#include "ui/commands/ExportCommands.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

// Three accounts whose values put them in a different order for most columns (the reader
// gives a missing BLOCK or JAIL 0; equal keys keep the file's order).
QByteArray Accounts() {
  return AccountFile({
      "[Anna]",
      "PASSWORD=a",
      "PLEVEL=1",
      "BLOCK=1",
      "JAIL=0",
      "CHARUID=0x1",
      "CHARUID=0x2",
      "LASTIP=192.168.1.2",
      "FIRSTCONNECTDATE=2020/01/02",
      "LASTCONNECTDATE=2024/05/06",
      "CHATNAME=Zed",
      "LANG=ENU",
      "TAG.COMMENT=\"vip\"",
      "[Bert]",
      "PASSWORD=b",
      "PLEVEL=1",
      "BLOCK=0",
      "JAIL=1",
      "LASTIP=10.0.0.7",
      "FIRSTCONNECTDATE=2019/03/04",
      "LASTCONNECTDATE=2023/01/01",
      "CHATNAME=Moe",
      "LANG=DEU",
      "TAG.COMMENT=spam",
      "[Cleo]",
      "PASSWORD=c",
      "PLEVEL=1",
      "CHARUID=0x7",
      "FIRSTCONNECTDATE=2021/07/08",
      "CHATNAME=Abe",
      "[EOF]",
  });
}

const QStringList kNames = {"Anna", "Bert", "Cleo"};

QPoint TitleCenter(QHeaderView* h, int column) {
  return {h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2};
}

// Right-click on the account title; the menu that opens.
QMenu* OpenColumnsMenu(MainWindow& f) {
  QHeaderView* h = f.Grid()->horizontalHeader();
  const QPoint pos = TitleCenter(h, AccountModel::ColAccount);
  QContextMenuEvent event(QContextMenuEvent::Mouse, pos, h->viewport()->mapToGlobal(pos));
  QApplication::sendEvent(h->viewport(), &event);
  auto* menu = f.Grid()->findChild<QMenu*>("GridColumnsMenu");
  if (menu && !QTest::qWaitFor([menu] { return menu->isVisible(); })) return nullptr;
  return menu;
}

// Ticks or unticks the entry with a click, as the operator does.
bool ClickColumnEntry(MainWindow& f, const QString& name, bool expectChecked) {
  QMenu* menu = OpenColumnsMenu(f);
  if (!menu) return false;
  auto* action = menu->findChild<QAction*>("GridColumn_" + name);
  if (!action || !action->isCheckable() || action->isChecked() != expectChecked) return false;
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  return QTest::qWaitFor([menu] { return !menu->isVisible(); });
}

void ClickTitle(MainWindow& f, int column) {
  QHeaderView* h = f.Grid()->horizontalHeader();
  QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, TitleCenter(h, column));
}

QStringList Column(MainWindow& f, int column) {
  QStringList out;
  auto& m = f.Model();
  for (int r = 0; r < m.rowCount(); ++r)
    out << m.data(m.index(r, column), Qt::DisplayRole).toString();
  return out;
}

// The column's values in the order of kNames, whatever the grid's order.
QStringList ByName(MainWindow& f, int column) {
  const QStringList names = Column(f, AccountModel::ColAccount);
  const QStringList values = Column(f, column);
  QStringList out;
  for (const QString& n : kNames) out << values.value(names.indexOf(n), "<missing>");
  return out;
}

QString ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// CSV lines split at commas (the fixture's cells hold none).
QList<QStringList> CsvRows(const QString& text) {
  QList<QStringList> rows;
  QString body = text;
  if (body.startsWith(QChar(0xFEFF))) body.remove(0, 1);
  for (const QString& line : body.split("\r\n", Qt::SkipEmptyParts)) rows << line.split(',');
  return rows;
}

QList<QStringList> HtmlRows(const QString& page, const QString& cell) {
  QList<QStringList> rows;
  static const QRegularExpression tr("<tr>(.*?)</tr>");
  const QRegularExpression td("<" + cell + "[^>]*>(.*?)</" + cell + ">");
  for (auto it = tr.globalMatch(page); it.hasNext();) {
    const QString inner = it.next().captured(1);
    QStringList cells;
    for (auto c = td.globalMatch(inner); c.hasNext();)
      cells << c.next().captured(1).replace("&nbsp;", "");
    if (!cells.isEmpty()) rows << cells;
  }
  return rows;
}

// From a table of rows with a title row: the named column's cells by account.
QStringList ExportedByName(const QList<QStringList>& titles, const QList<QStringList>& rows,
                           const QString& title) {
  const int col = titles.value(0).indexOf(title);
  const int account = titles.value(0).indexOf("Account");
  QStringList out;
  for (const QString& n : kNames) {
    QString value = "<missing>";
    for (const QStringList& r : rows)
      if (r.value(account) == n && col >= 0) value = r.value(col);
    out << value;
  }
  return out;
}

QByteArray IniBytes(const MainWindowFixture& fx) {
  QFile file(fx.programFolder + "/kov.ini");
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Closes the window as the operator does and opens a new one on the same program folder.
void Restart(MainWindowFixture& fx) {
  fx.form->Settings().ChangesSaved = true;
  fx.form->close();
  fx.form = std::make_unique<MainWindow>(fx.programFolder);
  fx.Show();
}

}  // namespace

class TestColumns : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    UiText::Instance().RegisterUiTextKeys();
  }
  void init() { MessageDialogSeam::Clear(); }

  void theOriginalColumnsByDefault() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    fx.Show();
    AccountGrid* grid = f.GridView();
    for (int c = 0; c < AccountModel::kColumnCount; ++c)
      QCOMPARE(grid->isColumnHidden(c),
               c == AccountModel::ColPriv || c >= AccountModel::kFirstOnDemand);
    // The six shown columns share the width in their design proportions, as before.
    const int client = grid->viewport()->width();
    QCOMPARE(grid->columnWidth(AccountModel::ColAccount),
             int(std::lround(129.0 * client / (15 + 129 + 129 + 92 + 193 + 28))));
    QMenu* menu = OpenColumnsMenu(f);
    QVERIFY(menu);
    QStringList entries;
    for (QAction* a : menu->actions()) {
      QVERIFY(a->isCheckable());
      QVERIFY(!a->isChecked());
      entries << a->text();
    }
    QCOMPARE(entries, QStringList({"Blocked", "Jailed", "Characters", "Last IP", "First connect",
                                   "Last connect", "Chat name", "Language", "Comment"}));
    menu->close();
  }

  void showSortExportRestartHide_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("values");  // Anna, Bert, Cleo
    QTest::addColumn<QStringList>("ascending");
    using L = QStringList;
    QTest::newRow("Blocked") << int(AccountModel::ColBlocked) << "BLOCKED"
                             << "Blocked" << L{"1", "0", "0"} << L{"Bert", "Cleo", "Anna"};
    QTest::newRow("Jailed") << int(AccountModel::ColJailed) << "JAILED"
                            << "Jailed" << L{"0", "1", "0"} << L{"Anna", "Cleo", "Bert"};
    QTest::newRow("Characters") << int(AccountModel::ColCharacters) << "CHARACTERS"
                                << "Characters" << L{"2", "0", "1"} << L{"Bert", "Cleo", "Anna"};
    QTest::newRow("Last IP") << int(AccountModel::ColLastIp) << "LASTIP"
                             << "Last IP" << L{"192.168.1.2", "10.0.0.7", ""}
                             << L{"Cleo", "Bert", "Anna"};
    QTest::newRow("First connect") << int(AccountModel::ColFirstConnect) << "FIRSTCONNECT"
                                   << "First connect" << L{"2020/01/02", "2019/03/04", "2021/07/08"}
                                   << L{"Bert", "Anna", "Cleo"};
    QTest::newRow("Last connect") << int(AccountModel::ColLastConnect) << "LASTCONNECT"
                                  << "Last connect" << L{"2024/05/06", "2023/01/01", ""}
                                  << L{"Cleo", "Bert", "Anna"};
    QTest::newRow("Chat name") << int(AccountModel::ColChatName) << "CHATNAME"
                               << "Chat name" << L{"Zed", "Moe", "Abe"}
                               << L{"Cleo", "Bert", "Anna"};
    QTest::newRow("Language") << int(AccountModel::ColLanguage) << "LANGUAGE"
                              << "Language" << L{"ENU", "DEU", ""} << L{"Cleo", "Bert", "Anna"};
    QTest::newRow("Comment") << int(AccountModel::ColComment) << "COMMENT"
                             << "Comment" << L{"vip", "spam", ""} << L{"Cleo", "Bert", "Anna"};
  }

  void showSortExportRestartHide() {
    QFETCH(int, column);
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QStringList, values);
    QFETCH(QStringList, ascending);

    MainWindowFixture fx(Accounts());
    const QByteArray iniBefore = IniBytes(fx);
    QVERIFY(!iniBefore.contains("COLUMNS"));
    fx.Show();
    {
      MainWindow& f = fx.Form();
      QVERIFY(ClickColumnEntry(f, name, false));
      QVERIFY(!f.GridView()->isColumnHidden(column));
      QCOMPARE(f.Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), title);
      QVERIFY(f.GridView()->columnWidth(column) > 10);
      QCOMPARE(ByName(f, column), values);

      ClickTitle(f, column);
      QCOMPARE(f.GridView()->SortColumn(), column);
      QCOMPARE(Column(f, AccountModel::ColAccount), ascending);
      ClickTitle(f, column);
      QStringList descending = ascending;
      std::reverse(descending.begin(), descending.end());
      QCOMPARE(Column(f, AccountModel::ColAccount), descending);

      ExportCommands exports(f);
      const QString csv = fx.dir.filePath("grid.csv");
      SetNextFileNames({csv});
      f.edExportCSV->trigger();
      const QList<QStringList> csvRows = CsvRows(ReadFile(csv));
      QCOMPARE(csvRows.value(0),
               QStringList({"S", "Account", "Password", "PLevel", "EMail", "Days", title}));
      QCOMPARE(ExportedByName(csvRows, csvRows.mid(1), title), values);

      const QString htm = fx.dir.filePath("grid.htm");
      SetNextFileNames({htm});
      f.edExportHTML->trigger();
      const QString page = ReadFile(htm);
      const QList<QStringList> titles = HtmlRows(page, "th");
      QCOMPARE(titles.value(0).value(6), title);
      QCOMPARE(ExportedByName(titles, HtmlRows(page, "td"), title), values);
      QVERIFY(fx.notices.isEmpty());
    }

    Restart(fx);
    {
      MainWindow& f = fx.Form();
      QVERIFY(IniBytes(fx).contains("\r\n[COLUMNS]\r\nSHOWN=" + name.toLatin1() + "\r\n"));
      QVERIFY(!f.GridView()->isColumnHidden(column));
      QCOMPARE(ByName(f, column), values);
      QVERIFY(ClickColumnEntry(f, name, true));
      QVERIFY(f.GridView()->isColumnHidden(column));
      for (int c = AccountModel::kFirstOnDemand; c < AccountModel::kColumnCount; ++c)
        QVERIFY(f.GridView()->isColumnHidden(c));
    }

    Restart(fx);
    QVERIFY(fx.Form().GridView()->isColumnHidden(column));
    QVERIFY(IniBytes(fx).contains("\r\n[COLUMNS]\r\nSHOWN=\r\n"));
  }

  // A profile without the section gains none when the columns stay as they are.
  void untouchedColumnsAddNothingToKovIni() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Restart(fx);
    QVERIFY(!IniBytes(fx).contains("COLUMNS"));
  }

  // Shown text columns join the search; hidden again, they leave it.
  void theSearchFollowsTheShownColumns() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    fx.Show();
    auto* search = f.findChild<SearchField*>("SearchField");
    QVERIFY(search);
    search->setFocus();
    QTest::keyClicks(search, "spam");
    search->ApplyNow();
    QCOMPARE(f.Model().rowCount(), 0);
    QVERIFY(ClickColumnEntry(f, "COMMENT", false));
    QCOMPARE(Column(f, AccountModel::ColAccount), QStringList{"Bert"});
    QVERIFY(ClickColumnEntry(f, "COMMENT", true));
    QCOMPARE(f.Model().rowCount(), 0);
    QVERIFY(ClickColumnEntry(f, "LANGUAGE", false));
    search->clear();
    QTest::keyClicks(search, "enu");
    search->ApplyNow();
    QCOMPARE(Column(f, AccountModel::ColAccount), QStringList{"Anna"});
  }

  // Names from an older or newer version, and letter case, as an operator may edit them.
  void kovIniNamesAreForgiving() {
    MainWindowFixture fx(Accounts());
    fx.form->Settings().ChangesSaved = true;
    fx.form->close();
    fx.form.reset();
    {
      QFile ini(fx.programFolder + "/kov.ini");
      QVERIFY(ini.open(QIODevice::Append));
      ini.write("[COLUMNS]\r\nSHOWN=lastip, Comment,FUTURE\r\n");
    }
    fx.form = std::make_unique<MainWindow>(fx.programFolder);
    fx.Show();
    AccountGrid* grid = fx.Form().GridView();
    QVERIFY(!grid->isColumnHidden(AccountModel::ColLastIp));
    QVERIFY(!grid->isColumnHidden(AccountModel::ColComment));
    QVERIFY(grid->isColumnHidden(AccountModel::ColBlocked));
    Restart(fx);  // nothing changed: the line stays as written
    QVERIFY(IniBytes(fx).contains("SHOWN=lastip, Comment,FUTURE\r\n"));
  }
};

QTEST_MAIN(TestColumns)
#include "tst_columns.moc"
