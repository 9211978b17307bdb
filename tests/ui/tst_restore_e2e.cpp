// End to end: back up, delete two accounts and change a third on the stand-in server, bring
// all three back from the backup, save; the server's account file holds them as they were,
// and the history names every change with its user and values, never a password.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "backup/SaveBackup.h"
#include "console/ServerConsole.h"
#include "store/History.h"
#include "store/ReadAcc.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/commands/RestoreDialog.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int RowOf(MainWindow& f, const char* name) {
  for (int i = 0; i < f.Table().ViewCount(); ++i)
    if (f.Table().Text(f.Table().ViewRow(i), dbaccount) == name) return i;
  return -1;
}

RowId Named(const AccountTable& t, std::string_view name) {
  for (RowId r : t.Order())
    if (t.Text(r, dbaccount) == name) return r;
  return kNoRow;
}

// "account action field old>new" per history line.
QStringList HistoryLines(const QString& path, const std::string& user) {
  HistoryLog log;
  if (log.Load(path.toStdString()) != HistoryLog::Status::Ok) return {"unreadable"};
  QStringList out;
  for (const auto& e : log.Entries()) {
    if (log.Get(e, HistoryLog::User) != user) out << "wrong user";
    out << QString::fromStdString(std::string(log.Get(e, HistoryLog::Account)) + " " +
                                  std::string(log.Get(e, HistoryLog::Action)) + " " +
                                  std::string(log.Get(e, HistoryLog::Field)) + " " +
                                  std::string(log.Get(e, HistoryLog::Old)) + ">" +
                                  std::string(log.Get(e, HistoryLog::New)) +
                                  (e.takenOver ? " taken" : ""));
  }
  return out;
}

}  // namespace

class TestRestoreE2E : public QObject {
  Q_OBJECT

  QTemporaryDir m_tmp{QDir::tempPath() + "/kov-restore-XXXXXX"};
  QString m_serverPath;
  QProcessEnvironment m_env;

  bool Tmux(const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(m_env);
    p.start(QStringLiteral("tmux"), args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  }

 private slots:
  void initTestCase() {
    UiText::Instance().RegisterUiTextKeys();
    QVERIFY(m_tmp.isValid());
    if (QStandardPaths::findExecutable("tmux").isEmpty()) QFAIL("tmux is not installed");
    const QString built = QStringLiteral(KOV_BINARY_DIR "/tools/vornex-server");
    if (!QFile::exists(built)) QFAIL("build the target vornex-server first");
    m_serverPath = m_tmp.filePath("server/vornex-server");
    QVERIFY(QDir().mkpath(m_tmp.filePath("server")));
    QVERIFY(QFile::copy(built, m_serverPath));
    QVERIFY(QFile::setPermissions(m_serverPath,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.remove(QStringLiteral("TMUX"));
    m_env.insert(QStringLiteral("TMUX_TMPDIR"), m_tmp.filePath("tmux"));
    QVERIFY(QDir().mkpath(m_tmp.filePath("tmux")));
    qputenv("TMUX_TMPDIR", m_tmp.filePath("tmux").toLocal8Bit());
  }

  void cleanupTestCase() { Tmux({"kill-server"}); }

  void backUpDeleteChangeRestoreSave() {
    const QByteArray accu =
        AccountFile({"[anna]", "PASSWORD=pa", "[bert]", "PASSWORD=pb-secret", "PLEVEL=2",
                     "CHATNAME=Bert", "TAG.EMAIL=\"bert@x.org\"", "[carl]", "PASSWORD=pc-secret",
                     "PLEVEL=4", "[dora]", "PASSWORD=pd-secret", "PLEVEL=1", "[EOF]"});
    MainWindowFixture fixture(accu, AccountFile({"// pending"}));
    MainWindow& f = fixture.Form();
    const QString accounts = fixture.accountFolder;
    QVERIFY(Tmux({"new-session", "-d", "-s", "kovrestore", "-x", "200", "-y", "50", m_serverPath,
                  "--accounts", accounts}));
    const std::string server = m_serverPath.toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(IsServerRunning(server), 10000);
    f.Settings().VORNEXDIR = server;
    f.Settings().ACCAUTOUPDATE = true;
    f.Settings().TAKEOVERWAIT = 20;  // a loaded machine: the server may be slow to take over
    f.edReloadAccExecute();
    fixture.MakeCommands();
    fixture.Show();
    const std::string user = CurrentUserName();
    const QString history = f.HistoryPath();
    const QString accountFile = accounts + "/VornexAccu.scp";
    auto serverTable = [&](AccountTable& t) {
      return ReadAccountFile(t, accountFile.toStdString()).ok();
    };
    AccountTable before;
    QVERIFY(serverTable(before));

    // The backup.
    const QString backup = fixture.programFolder + "/Kov_test.bak";
    QVERIFY(WriteBackup(f.Table(), backup.toStdString(), "01.05.2024").ok);

    // Delete bert and carl.
    QTableView* grid = f.Grid();
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(f.Model().index(RowOf(f, "bert"), 1)).center());
    grid->selectionModel()->select(f.Model().index(RowOf(f, "carl"), 1),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTimer::singleShot(0, &f, [&] {
      auto* d = f.findChild<DeleteConfirmationDialog*>(QStringLiteral("Form6"));
      QVERIFY(d && d->isVisible());
      QTest::mouseClick(d->ButtonYes(), Qt::LeftButton);
    });
    f.edDeleteAccount->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(
        !ReadAll(accountFile).contains("[bert]") && !ReadAll(accountFile).contains("[carl]"),
        10000);

    // Change dora's level and save.
    AccountTable& t = f.Table();
    f.FilterReset();
    t.SetCurrent(Named(t, "dora"));
    t.Edit();
    t.SetText(dbplevel, "Admin");
    t.SetInt(dbstatus, StatusChanged);
    t.Post();
    f.edLiveUpdate->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(accounts + "/VornexAcct.scp").indexOf("[dora]") < 0, 10000);
    {
      AccountTable now;
      QVERIFY(serverTable(now));
      QCOMPARE(QString::fromLatin1(now.Text(Named(now, "dora"), dbplevel)), QString("Admin"));
    }

    // Restore all three from the backup.
    SetNextFileNames({backup});
    bool shown = false;
    QTimer::singleShot(0, &f, [&] {
      auto* d = f.findChild<RestoreDialog*>(QStringLiteral("RestoreDialog"));
      QVERIFY(d && d->isVisible());
      shown = true;
      QTreeWidget* list = d->List();
      QCOMPARE(list->topLevelItem(0)->childCount(), 2);  // deleted since: bert, carl
      QCOMPARE(list->topLevelItem(1)->childCount(), 1);  // changed since: dora
      QCOMPARE(list->topLevelItem(2)->childCount(), 0);  // nothing new
      // Passwords hidden until asked for.
      for (int g = 0; g < 3; ++g)
        for (QTreeWidgetItem* it = list->topLevelItem(g); it; it = list->itemBelow(it))
          for (int c = 0; c < 3; ++c) QVERIFY(!it->text(c).contains("secret"));
      for (int i = 0; i < 2; ++i) list->topLevelItem(0)->child(i)->setCheckState(0, Qt::Checked);
      list->topLevelItem(1)->child(0)->setCheckState(0, Qt::Checked);
      QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("btnRestore")), Qt::LeftButton);
      QCOMPARE(list->topLevelItem(0)->childCount(), 0);
      QCOMPARE(list->topLevelItem(1)->childCount(), 0);
      d->reject();
    });
    f.edRestoreBackup->trigger();
    ClearNextFileNames();
    QVERIFY(shown);
    QVERIFY(!f.Settings().ChangesSaved);
    // Nothing reached the server before Save.
    QVERIFY(!ReadAll(accountFile).contains("[bert]"));

    f.edLiveUpdate->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(accountFile).contains("[bert]") &&
                                 ReadAll(accountFile).contains("[carl]") &&
                                 ReadAll(accounts + "/VornexAcct.scp").indexOf("[dora]") < 0,
                             10000);
    AccountTable after;
    QVERIFY(serverTable(after));
    for (const char* name : {"anna", "bert", "carl", "dora"}) {
      const RowId a = Named(after, name), b = Named(before, name);
      QVERIFY2(a != kNoRow, name);
      // The update file carries the bare address (the account file's quotes are dropped).
      auto value = [](const AccountTable& t, RowId r, Field fld) {
        QString v = QString::fromStdString(t.DisplayText(r, fld));
        return fld == dbemail && v.startsWith('"') && v.endsWith('"') ? v.mid(1, v.size() - 2) : v;
      };
      for (Field fld : {dbpasswort, dbplevel, dbchatname, dbemail, dbpriv})
        QVERIFY2(value(after, a, fld) == value(before, b, fld),
                 qPrintable(QString("%1 %2: %3 / %4")
                                .arg(name, FieldInfoOf(fld).name,
                                     QString::fromStdString(after.DisplayText(a, fld)),
                                     QString::fromStdString(before.DisplayText(b, fld)))));
    }

    const QStringList lines = HistoryLines(history, user);
    QVERIFY(!lines.contains("wrong user"));
    for (const char* expected :
         {"bert delete  Counselor> taken", "carl delete  GM> taken",
          "dora change plevel Player>Admin taken", "dora restore plevel Admin>Player taken",
          "bert restore passwort >changed taken", "bert restore plevel >Counselor taken",
          "bert restore chatname >Bert taken", "carl restore plevel >GM taken"})
      QVERIFY2(lines.contains(expected), qPrintable(expected + QString("\n") + lines.join("\n")));
    QVERIFY(!ReadAll(history).contains("secret"));
    QVERIFY(f.restoredAccounts.empty());
  }
};

QTEST_MAIN(TestRestoreE2E)
#include "tst_restore_e2e.moc"
