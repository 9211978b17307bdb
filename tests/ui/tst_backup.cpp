#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QTabBar>
#include <QTest>

#include "backup/Huffman.h"
#include "backup/SaveBackup.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/BackupCommand.h"
#include "ui/grid/FilterTabs.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/widgets/ProgressWindow.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

QByteArray Accounts() {
  return AccountFile({
      "[alpha]",
      "PASSWORD=one",
      "PLEVEL=1",
      "PRIV=0",
      "BLOCK=1",
      "[bravo]",
      "PASSWORD=two",
      "PLEVEL=4",
      "PRIV=2",
      "TAG.EMAIL=\"b@example.org\"",
      "[charlie]",
      "PASSWORD=three",
      "PLEVEL=0",
      "[EOF]",
  });
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

std::string Decode(const QByteArray& stream) {
  std::string text;
  HuffmanDecode(std::string_view(stream.constData(), static_cast<size_t>(stream.size())), text);
  return text;
}

}  // namespace

class TestBackup : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

  void makeBackupWritesTheWholeTable() {
    MainWindowFixture fx(Accounts());
    fx.MakeCommands();
    fx.Show();
    MainWindow& form = fx.Form();
    auto* command = form.findChild<BackupCommand*>("BackupCommand");
    QVERIFY(command);
    command->today = [] { return QDate(2026, 12, 9); };
    QVERIFY(form.edMakeBackup->isEnabled());
    QVERIFY(form.MenuFile()->actions().contains(form.edMakeBackup));

    // A filter that hides rows: the backup still holds every row.
    form.Tabs()->FilterTabBar()->setCurrentIndex(TabStaff);
    QVERIFY(form.Table().ViewCount() < form.Table().RowCount());

    // "12/9/26": the slashes cannot stand in a file name.
    const QString path = QDir(fx.programFolder).filePath("Kov_12-9-26.bak");
    QCOMPARE(command->BackupPath(), path);
    form.edMakeBackup->trigger();

    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    QCOMPARE(Decode(ReadAll(path)), BuildBackupDump(form.Table(), "12/9/26"));
    QVERIFY(Decode(ReadAll(path)).find("[charlie]\r\nthree\r\n") != std::string::npos);
#ifndef Q_OS_WIN  // no mode bits there: a new file takes its folder's access list
    QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
#endif

    QCOMPARE(form.Tabs()->FilterTabBar()->currentIndex(), int(TabAll));
    QCOMPARE(form.Table().ViewCount(), 3);
    QCOMPARE(form.Table().CurrentIndex(), 2);
    QVERIFY(form.isVisible());
    QVERIFY(!form.Progress().isVisible());
    QCOMPARE(form.Progress().Text(), QStringLiteral("Write Backup...Please wait"));
    QCOMPARE(form.Progress().Maximum(), 3);

    LogPane& log = *form.Log();
    QCOMPARE(log.LineText(log.LineCount() - 1).trimmed(), QStringLiteral("Backup Save as ") + path);
    QCOMPARE(log.LineIcon(log.LineCount() - 1), int(LogPane::IconOut));
    QVERIFY(fx.notices.isEmpty());

    // No plain copy and no temporary file next to the backup.
    const QStringList names = QDir(fx.programFolder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
      QVERIFY2(name == "Kov_12-9-26.bak" || name.endsWith(".xml") || name == "kov.ini" ||
                   name == "kov.log",
               qPrintable(name));
    }
    // The log on disk names the backup and holds none of its passwords.
    const QByteArray diskLog = ReadAll(QDir(fx.programFolder).filePath("kov.log"));
    QVERIFY(diskLog.contains("Backup Save as "));
    QVERIFY(!diskLog.contains("three"));

    // Later backups of the same day keep the earlier ones, and the log names each file.
    const QByteArray morning = ReadAll(path);
    form.edMakeBackup->trigger();
    form.edMakeBackup->trigger();
    QCOMPARE(QDir(fx.programFolder).entryList({"Kov_*"}, QDir::Files | QDir::Hidden),
             QStringList({"Kov_12-9-26-2.bak", "Kov_12-9-26-3.bak", "Kov_12-9-26.bak"}));
    QCOMPARE(ReadAll(path), morning);
    QCOMPARE(Decode(ReadAll(QDir(fx.programFolder).filePath("Kov_12-9-26-3.bak"))),
             BuildBackupDump(form.Table(), "12/9/26"));
    QCOMPARE(log.LineText(log.LineCount() - 1).trimmed(),
             "Backup Save as " + QDir(fx.programFolder).filePath("Kov_12-9-26-3.bak"));
  }

  void failureIsReportedAndTheWindowComesBack() {
    MainWindowFixture fx(Accounts());
    fx.MakeCommands();
    fx.Show();
    MainWindow& form = fx.Form();
    auto* command = form.findChild<BackupCommand*>("BackupCommand");
    QVERIFY(command);
    const int lines = form.Log()->LineCount();
    const QString path = QDir(fx.programFolder).filePath("missing/Kov_x.bak");

    QVERIFY(!command->MakeBackup(path));

    QCOMPARE(fx.notices.size(), 1);
    QVERIFY2(fx.notices[0].contains(QDir::toNativeSeparators(path)), qPrintable(fx.notices[0]));
    QVERIFY(form.isVisible());
    QVERIFY(!form.Progress().isVisible());
    QCOMPARE(form.Log()->LineCount(), lines);
    QVERIFY(!QFileInfo::exists(QDir(fx.programFolder).filePath("missing")));
  }

  void incompleteTableIsNotBackedUp() {
    MainWindowFixture fx(AccountFile({"[alpha]", "PASSWORD=one", "[bravo]", "BLOCK=abc", "[EOF]"}));
    fx.MakeCommands();
    fx.Show();
    MainWindow& form = fx.Form();
    QVERIFY(!form.LoadComplete());
    auto* command = form.findChild<BackupCommand*>("BackupCommand");
    QVERIFY(command);
    fx.notices.clear();

    QVERIFY(!command->MakeBackup(QDir(fx.programFolder).filePath("Kov_x.bak")));

    QCOMPARE(fx.notices.size(), 1);
    QVERIFY(fx.notices[0].contains("not loaded completely"));
    QVERIFY(!QFileInfo::exists(QDir(fx.programFolder).filePath("Kov_x.bak")));
    QVERIFY(form.isVisible());
  }

  // A load cut short says so above the grid and in the log, and Save and Backup are off
  // (not just refused) until a reload of the corrected file.
  void incompleteLoadShowsABannerAndHoldsTheWrites() {
    MainWindowFixture fx(AccountFile({"[alpha]", "PASSWORD=one", "[bravo]", "BLOCK=abc", "[EOF]"}));
    fx.MakeCommands();
    fx.Show();
    MainWindow& form = fx.Form();
    auto* banner = form.findChild<QLabel*>("IncompleteBanner");
    QVERIFY(banner);
    QVERIFY(banner->isVisible());
    QVERIFY2(banner->text().contains("2 accounts") && banner->text().contains("VornexAccu.scp"),
             qPrintable(banner->text()));
    QVERIFY(!form.edLiveUpdate->isEnabled());
    QVERIFY(!form.edMakeBackup->isEnabled());
    bool logged = false;
    for (int i = 0; i < form.Log()->LineCount(); ++i)
      logged = logged || (form.Log()->LineText(i).contains("abc") &&
                          form.Log()->LineText(i).contains("line 4"));
    QVERIFY(logged);

    QFile file(fx.accountFolder + "/VornexAccu.scp");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(AccountFile({"[alpha]", "PASSWORD=one", "[bravo]", "BLOCK=1", "[EOF]"}));
    file.close();
    form.Settings().ChangesSaved = true;
    form.edReloadAccExecute();
    QVERIFY(form.LoadComplete());
    QVERIFY(!banner->isVisible());
    QVERIFY(form.edLiveUpdate->isEnabled());
    QVERIFY(form.edMakeBackup->isEnabled());
  }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
