// The history window: every whole line of a damaged history shown with a word on what was
// skipped; filters by account, field, time and text; sorting by a column.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "store/History.h"
#include "ui/commands/HistoryWindow.h"
#include "ui/settings/UiText.h"

using namespace kov;

namespace {

HistoryRecord Rec(const char* time, const char* account, const char* field, const char* oldValue,
                  const char* newValue) {
  HistoryRecord r;
  r.time = time;
  r.user = "op";
  r.shard = "/srv/a";
  r.account = account;
  r.action = kHistoryChange;
  r.field = field;
  r.oldValue = oldValue;
  r.newValue = newValue;
  return r;
}

QStringList Column(const HistoryModel& m, int column) {
  QStringList out;
  for (int r = 0; r < m.rowCount(); ++r) out << m.index(r, column).data().toString();
  return out;
}

}  // namespace

class TestHistory : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }

  void damagedHistoryFiltersAndSorts() {
    QTemporaryDir dir;
    const QString path = dir.filePath(kHistoryFileName);
    std::string error;
    QVERIFY(AppendHistory(path.toStdString(),
                          {Rec("2024-05-01T10:00:00Z", "anna", "plevel", "Player", "GM"),
                           Rec("2024-05-02T10:00:00Z", "bert", "email", "b@x", "b@y"),
                           Rec("2024-05-03T10:00:00Z", "anna", "chatname", "", "Grüße"),
                           Rec("2024-05-04T10:00:00Z", "anna", "passwort", "old", "new")},
                          error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    f.write("garbage\n{\"time\":\"2024-05-05T1");  // a garbage line, then a torn one
    f.close();

    HistoryWindow w(path);
    w.Reload();
    w.show();
    HistoryModel& m = w.Model();
    QCOMPARE(m.rowCount(), 4);
    auto* warning = w.findChild<QLabel*>("HistoryWarning");
    QVERIFY(warning->isVisible());
    QVERIFY(warning->text().contains(Ui("ext_History_Torn")));
    QVERIFY(warning->text().contains(QString(kHistoryFileName) + ":6"));
    QCOMPARE(Column(m, HistoryModel::New).last(), QString("changed"));  // never the password
    QCOMPARE(Column(m, HistoryModel::New)[2], QString("Grüße"));

    w.ShowAccount("anna");
    QCOMPARE(Column(m, HistoryModel::Field), QStringList({"plevel", "chatname", "passwort"}));
    QCOMPARE(w.StatusText(), FormatText(Ui("ext_History_Count"), {3, 4}));

    auto* from = w.findChild<QLineEdit*>("HistoryFrom");
    auto* to = w.findChild<QLineEdit*>("HistoryTo");
    QTest::keyClicks(from, "2024-05-02");
    QTest::keyClicks(to, "2024-05-03");
    QTRY_COMPARE(Column(m, HistoryModel::Field), QStringList({"chatname"}));
    from->clear();
    to->clear();
    w.ShowAccount(QString());
    QTest::keyClicks(w.findChild<QLineEdit*>("HistorySearch"), "B@Y");
    QTRY_COMPARE(Column(m, HistoryModel::Account), QStringList({"bert"}));
    w.findChild<QLineEdit*>("HistorySearch")->clear();
    w.ShowAccount(QString());

    m.sort(HistoryModel::Field, Qt::AscendingOrder);
    QCOMPARE(Column(m, HistoryModel::Field),
             QStringList({"chatname", "email", "passwort", "plevel"}));
    m.sort(HistoryModel::Time, Qt::DescendingOrder);
    QCOMPARE(Column(m, HistoryModel::Time).first(), QString("2024-05-04T10:00:00Z"));
  }

  void aFileNotOursIsSaidAndNotChanged() {
    QTemporaryDir dir;
    const QString path = dir.filePath(kHistoryFileName);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("my own notes\n");
    f.close();
    HistoryWindow w(path);
    QVERIFY(!w.Reload());
    QCOMPARE(w.Model().rowCount(), 0);
    QVERIFY(w.findChild<QLabel*>("HistoryWarning")->text().contains("not a change history"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("my own notes\n"));
  }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
