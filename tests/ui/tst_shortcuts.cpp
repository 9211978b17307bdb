// The desktop shortcuts trigger their commands; Reload asks before dropping pending rows;
// the CSV export keeps spreadsheets from running cells as formulas.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "export/ExportCsv.h"
#include "support/MainWindowFixture.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

class TestShortcuts : public QObject {
  Q_OBJECT

 private slots:
  void init() { MessageDialogSeam::Clear(); }

  void shortcutsTriggerTheirCommands_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("save") << "edLiveUpdate" << QKeySequence("Ctrl+S");
    QTest::newRow("reload") << "edReloadAcc" << QKeySequence("F5");
    QTest::newRow("new") << "edNewAccount" << QKeySequence("Ctrl+N");
    QTest::newRow("search") << "edSearch" << QKeySequence("Ctrl+F");
    QTest::newRow("exit") << "edClose" << QKeySequence("Ctrl+Q");
  }
  void shortcutsTriggerTheirCommands() {
    QFETCH(QString, action);
    QFETCH(QKeySequence, keys);
    MainWindowFixture f(AccountFile({"[a]", "PASSWORD=x"}));
    auto* a = f.Form().findChild<QAction*>(action);
    QVERIFY(a);
    QCOMPARE(a->shortcut(), keys);
    a->setEnabled(true);
    // Counted, not run: the commands themselves are tested where they live.
    a->disconnect(SIGNAL(triggered(bool)));
    QSignalSpy spy(a, &QAction::triggered);
    f.Show();
    f.Form().activateWindow();
    QTest::keySequence(&f.Form(), keys);
    QTRY_COMPARE(spy.count(), 1);
  }

  void reloadAsksWhenRowsArePending() {
    MainWindowFixture f(AccountFile({"[a]", "PASSWORD=x"}));
    AccountTable& t = f.Form().Table();
    t.SetText(dbpasswort, "y");
    t.SetInt(dbstatus, StatusChanged);
    t.Post();
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::No);
    f.Form().edReloadAcc->trigger();
    QCOMPARE(MessageDialogSeam::Calls().size(), 1);
    // Yes drops the pending rows: Enter must not.
    QCOMPARE(MessageDialogSeam::Calls()[0].defaultButton, MsgDlgBtn::No);
    QCOMPARE(t.Text(t.Current(), dbpasswort), std::string_view("y"));  // kept
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Yes);
    f.Form().edReloadAcc->trigger();
    QCOMPARE(t.Text(t.Current(), dbpasswort), std::string_view("x"));
    QVERIFY(f.Form().ChangesSaved());
    // Nothing pending: no question.
    f.Form().edReloadAcc->trigger();
    QCOMPARE(MessageDialogSeam::Calls().size(), 2);
  }

  void csvCells_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("plain") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("formula") << QByteArray("=cmd") << QByteArray("'=cmd");
    QTest::newRow("plus") << QByteArray("+1") << QByteArray("'+1");
    QTest::newRow("minus") << QByteArray("-2+3") << QByteArray("'-2+3");
    QTest::newRow("at") << QByteArray("@SUM(A1)") << QByteArray("'@SUM(A1)");
    QTest::newRow("comma") << QByteArray("a,b") << QByteArray("\"a,b\"");
    QTest::newRow("quote") << QByteArray("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
    QTest::newRow("guarded and quoted") << QByteArray("=1,2") << QByteArray("\"'=1,2\"");
    QTest::newRow("line break") << QByteArray("a\nb") << QByteArray("\"a\nb\"");
    QTest::newRow("cp1252") << QByteArray("\xC4rger") << QByteArray("\xC4rger");
    QTest::newRow("tab before a formula") << QByteArray("\t=cmd") << QByteArray("\"'\t=cmd\"");
    QTest::newRow("CR before a formula") << QByteArray("\r=cmd") << QByteArray("\"'\r=cmd\"");
    QTest::newRow("number column") << QByteArray("-1") << QByteArray("-1");
  }
  void csvCells() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    const bool number = QString::fromLatin1(QTest::currentDataTag()) == "number column";
    QCOMPARE(QByteArray::fromStdString(CsvCell(in.toStdString(), number)), out);
  }

  void csvFileHoldsTheViewOnly() {
    AccountTable t;
    for (const char* name : {"=cmd", "plain", "hidden"}) {
      t.Append();
      t.SetText(dbaccount, name);
      t.SetText(dbemail, "x@y");
      t.Post();
    }
    t.SetFilter(
        [](const AccountTable& table, RowId r) { return table.Text(r, dbaccount) != "hidden"; });
    t.SetFiltered(true);
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/out.csv").toStdString();
    const auto result = ExportCsv(t, {{dbaccount, "Account"}, {dbemail, "EMail"}}, path);
    QVERIFY(result.ok);
    QCOMPARE(result.rows, 2);
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF"
                                        "Account,EMail\r\n'=cmd,x@y\r\nplain,x@y\r\n"));
    // A folder that does not exist: an error, no file.
    QVERIFY(!ExportCsv(t, {{dbaccount, "A"}}, dir.path().toStdString() + "/no/such.csv").ok);
  }
};

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
