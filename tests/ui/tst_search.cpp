// The search field above the grid, driven through the real widgets.
#include <QLabel>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include "support/MainWindowFixture.h"
#include "ui/grid/FilterTabs.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {
QByteArray Accounts() {
  return AccountFile({
      "[Alice]",
      "PASSWORD=a",
      "PLEVEL=4",
      "EMAIL=alice@Staff.example.org",
      "LASTIP=10.0.0.1",
      "[bob]",
      "PASSWORD=b",
      "PLEVEL=1",
      "EMAIL=bob@staff.example.org",
      "[Carl]",
      "PASSWORD=c",
      "PLEVEL=2",
      "EMAIL=carl@home.example.net",
      "CHATNAME=Staffer",
      "[Dora]",
      "PASSWORD=d",
      "PLEVEL=5",
      "EMAIL=dora@home.example.net",
      "FIRSTIP=192.168.7.7",
      QString::fromUtf8("[\xc3\x84rger]"),
      "PASSWORD=e",
      "PLEVEL=1",
  });
}

QStringList Shown(MainWindow& form) {
  QStringList names;
  const AccountTable& t = form.Table();
  for (int i = 0; i < t.ViewCount(); ++i)
    names << QString::fromLatin1(t.Text(t.ViewRow(i), dbaccount));
  return names;
}

// The rows shown once `text` is applied in the field.
QStringList Applied(MainWindow& form, SearchField* field, const char* text) {
  field->setText(QString::fromLatin1(text));
  field->ApplyNow();
  return Shown(form);
}

QString EntryText(MainWindow& form) { return form.findChild<QLabel*>("EntryPanel")->text(); }
}  // namespace

class TestSearch : public QObject {
  Q_OBJECT

 private slots:
  void typingUnderStaffNarrowsAndCounts() {
    MainWindowFixture f(Accounts());
    f.Show();
    f.Form().Tabs()->FilterTabBar()->setCurrentIndex(TabStaff);
    QCOMPARE(Shown(f.Form()), QStringList({"Alice", "Carl", "Dora"}));
    SearchField* field = f.Form().Search();
    field->setFocus();
    QTest::keyClicks(field, "STAFF.exam");
    // Applied after the pause, not at each key.
    QCOMPARE(Shown(f.Form()).size(), 3);
    QTRY_COMPARE(Shown(f.Form()), QStringList({"Alice"}));
    QCOMPARE(EntryText(f.Form()), FormatText(Ui("f1_panel_0"), {1}));
    // Chat name and the IPs are searched too; Enter applies at once.
    field->clear();
    QTest::keyClicks(field, "staff");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(Shown(f.Form()), QStringList({"Alice", "Carl"}));
    field->setText("168.7");
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(Shown(f.Form()), QStringList({"Dora"}));
    QCOMPARE(EntryText(f.Form()), FormatText(Ui("f1_panel_0"), {1}));
    // The tab still applies when it changes under a search.
    f.Form().Tabs()->FilterTabBar()->setCurrentIndex(TabAll);
    QCOMPARE(Shown(f.Form()), QStringList({"Dora"}));
    // Escape clears the field and the search.
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(field->text(), QString());
    QCOMPARE(Shown(f.Form()).size(), 5);
  }

  void ignoresCaseBeyondAscii() {
    MainWindowFixture f(Accounts());
    f.Form().Search()->setText(QString::fromUtf8("ärg"));
    f.Form().Search()->ApplyNow();
    QCOMPARE(Shown(f.Form()).size(), 1);
    // A character with no Windows-1252 byte matches nothing, and does not crash.
    f.Form().Search()->setText(QString::fromUtf8("\xe2\x98\x83"));
    f.Form().Search()->ApplyNow();
    QCOMPARE(Shown(f.Form()).size(), 0);
  }

  // Longer texts judge only the rows shown, other texts every row; a row stored after the
  // first search is searched as it is now, not as it was.
  void narrowingAndStoredRowsStayExact() {
    MainWindowFixture f(Accounts());
    SearchField* field = f.Form().Search();
    AccountTable& t = f.Form().Table();
    auto search = [&](const char* text) { return Applied(f.Form(), field, text); };
    QCOMPARE(search("example"), QStringList({"Alice", "bob", "Carl", "Dora"}));
    QCOMPARE(search("example.ORG"), QStringList({"Alice", "bob"}));
    QCOMPARE(search("example.net"), QStringList({"Carl", "Dora"}));
    QVERIFY(t.Locate("Carl"));
    t.SetText(dbemail, "carl@zebra.test");
    t.Post();
    QCOMPARE(Shown(f.Form()), QStringList({"Dora"}));
    QCOMPARE(search("ZEBRA"), QStringList({"Carl"}));
    QCOMPARE(search("example"), QStringList({"Alice", "bob", "Dora"}));
    f.Form().Tabs()->FilterTabBar()->setCurrentIndex(TabPlayer);
    QCOMPARE(Shown(f.Form()), QStringList({"bob"}));
    QCOMPARE(search("b"), QStringList({"bob"}));
    QCOMPARE(search(""), QStringList({"bob", QString::fromUtf8("\xc3\x84rger")}));
  }

  // Erasing letters goes back to answers found before, but never to one that a stored row,
  // a new or deleted row, a sort or another tab has made stale.
  void erasingLettersGivesTodaysAnswer() {
    MainWindowFixture f(Accounts());
    SearchField* field = f.Form().Search();
    AccountTable& t = f.Form().Table();
    auto search = [&](const char* text) { return Applied(f.Form(), field, text); };
    const QStringList exampleAll{"Alice", "bob", "Carl", "Dora"};
    QCOMPARE(search("exam"), exampleAll);
    QCOMPARE(search("example.o"), QStringList({"Alice", "bob"}));
    const size_t passes = field->Index().Passes();
    QCOMPARE(search("exam"), exampleAll);  // remembered
    QCOMPARE(search("example.o"), QStringList({"Alice", "bob"}));
    QCOMPARE(search("exam"), exampleAll);
    QCOMPARE(field->Index().Passes(), passes);
    // A stored row: Carl no longer matches.
    QVERIFY(t.Locate("Carl"));
    t.SetText(dbemail, "carl@zebra.test");
    t.Post();
    QCOMPARE(search("example.o"), QStringList({"Alice", "bob"}));
    QCOMPARE(search("exam"), QStringList({"Alice", "bob", "Dora"}));
    // A new row.
    t.Append();
    t.SetText(dbaccount, "Eve");
    t.SetText(dbemail, "eve@example.com");
    t.SetText(dbplevel, "Player");
    t.Post();
    QCOMPARE(search("example.o"), QStringList({"Alice", "bob"}));
    QCOMPARE(search("exam"), QStringList({"Alice", "bob", "Dora", "Eve"}));
    // Another tab that happens to show the same rows for the text typed last.
    QCOMPARE(search("example.o"), QStringList({"Alice", "bob"}));
    QCOMPARE(search("bob@"), QStringList({"bob"}));
    f.Form().Tabs()->FilterTabBar()->setCurrentIndex(TabPlayer);
    QCOMPARE(Shown(f.Form()), QStringList({"bob"}));
    QCOMPARE(search("example.o"), QStringList({"bob"}));
    QCOMPARE(search("exam"), QStringList({"bob", "Eve"}));
  }

  void filterResetClearsTheSearch() {
    MainWindowFixture f(Accounts());
    f.Form().Tabs()->FilterTabBar()->setCurrentIndex(TabPlayer);
    f.Form().Search()->setText("bob");
    f.Form().Search()->ApplyNow();
    QCOMPARE(Shown(f.Form()), QStringList({"bob"}));
    f.Form().FilterReset();
    QCOMPARE(f.Form().Search()->text(), QString());
    QCOMPARE(Shown(f.Form()).size(), 5);
    // A tab chosen afterwards is no longer narrowed by the old text.
    f.Form().Tabs()->FilterTabBar()->setCurrentIndex(TabPlayer);
    QCOMPARE(Shown(f.Form()).size(), 2);
  }

  void ctrlFFocusesTheField() {
    MainWindowFixture f(Accounts());
    f.Show();
    f.Form().activateWindow();
    f.Form().Grid()->setFocus();
    QTest::keyClick(&f.Form(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(f.Form().Search()->hasFocus());
    if (qEnvironmentVariableIsSet("KOV_SCREENSHOT_DIR")) {
      QTest::keyClicks(f.Form().Search(), "example.org");
      f.Form().Search()->ApplyNow();
      f.Form().resize(760, 420);
      QTest::qWait(50);
      f.Form().grab().save(qEnvironmentVariable("KOV_SCREENSHOT_DIR") + "/search.png");
    }
  }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
