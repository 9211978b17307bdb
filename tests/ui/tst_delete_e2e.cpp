// End to end: the stand-in server runs in a detached tmux session with a private socket
// folder; the program deletes accounts through its console, and the server's own files
// show the result.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "console/ServerConsole.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/FilterTabs.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/mainwindow/ServerStatusPanel.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

// The platform's console, with the moment of every command it was given.
class TimedConsole : public IServerConsole {
 public:
  TimedConsole() { m_clock.start(); }
  bool IsServerRunning(const std::string& path) override {
    return PlatformServerConsole().IsServerRunning(path);
  }
  ConsoleResult SendConsoleCommand(const std::string& command, const std::string& path) override {
    times.push_back(m_clock.elapsed());
    const ConsoleResult r = PlatformServerConsole().SendConsoleCommand(command, path);
    if (during) during();
    return r;
  }
  std::vector<qint64> times;
  std::function<void()> during;  // runs after each command, before the pause that follows

 private:
  QElapsedTimer m_clock;
};

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Lines(const QByteArray& bytes) {
  QStringList out;
  for (const QByteArray& l : bytes.split('\n'))
    if (!l.trimmed().isEmpty()) out << QString::fromLatin1(l.trimmed());
  return out;
}

QStringList Sections(const QByteArray& accountFile) {
  QStringList out;
  for (const QString& l : Lines(accountFile))
    if (l.startsWith('[') && l != "[EOF]") out << l.mid(1, l.size() - 2);
  return out;
}

int RowOf(MainWindow& f, const QString& name) {
  for (int i = 0; i < f.Table().ViewCount(); ++i)
    if (QString::fromLatin1(f.Table().Text(f.Table().ViewRow(i), dbaccount)) == name) return i;
  return -1;
}

QStringList TableNames(MainWindow& f) {
  QStringList out;
  for (RowId r : f.Table().Order()) out << QString::fromLatin1(f.Table().Text(r, dbaccount));
  return out;
}

}  // namespace

class TestDeleteE2E : public QObject {
  Q_OBJECT

  QTemporaryDir m_tmp{QDir::tempPath() + "/kov-del-XXXXXX"};
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
    // A copy of its own, so that no other test's server can stand for ours.
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

  void deleteThroughTheServerConsole() {
    const QByteArray accu =
        AccountFile({"[anna]", "PASSWORD=pa", "PLEVEL=1", "[bert]", "PASSWORD=pb", "[carl]",
                     "PASSWORD=pc", "[dora]", "PASSWORD=pd", "[EOF]"});
    // A pending change of anna: "A" would bring her back if it stayed in the file.
    const QByteArray acct =
        AccountFile({"// pending", "[anna]", "PASSWORD=changed", "[dora]", "PASSWORD=newdora"});
    MainWindowFixture fixture(accu, acct);
    MainWindow& f = fixture.Form();
    const QString accounts = fixture.accountFolder;
    QVERIFY(Tmux({"new-session", "-d", "-s", "kovdel", "-x", "200", "-y", "50", m_serverPath,
                  "--accounts", accounts}));
    const std::string server = m_serverPath.toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(IsServerRunning(server), 10000);
    f.Settings().VORNEXDIR = server;
    f.edReloadAccExecute();  // the server of the loaded shard is the one told

    TimedConsole console;
    ScopedServerConsole scoped(console);
    fixture.MakeCommands();
    fixture.Show();

    // anna, bert and carl selected; bert unticked in the confirmation.
    QTableView* grid = f.Grid();
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(f.Model().index(RowOf(f, "anna"), 1)).center());
    for (const char* n : {"bert", "carl"})
      grid->selectionModel()->select(f.Model().index(RowOf(f, n), 1),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTimer::singleShot(0, &f, [&] {
      auto* d = f.findChild<DeleteConfirmationDialog*>(QStringLiteral("Form6"));
      QVERIFY(d && d->isVisible());
      QCOMPARE(d->Count(), 3);
      d->AccountList()->item(1)->setCheckState(Qt::Unchecked);
      QTest::mouseClick(d->ButtonYes(), Qt::LeftButton);
    });
    // In the pause after anna, the operator picks the Staff tab (which holds neither carl nor
    // bert), types into the search field and ticks a toggle: none of it may reach the window.
    int attempts = 0;
    console.during = [&] {
      if (console.times.size() != 1) return;
      QTimer::singleShot(5, &f, [&] {
        ++attempts;
        QTabBar* tabs = f.Tabs()->FilterTabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
        QTest::keyClick(f.Search(), Qt::Key_Z);
        auto* gm = f.findChild<QCheckBox*>(QStringLiteral("cbGMPrivsBox"));
        QTest::mouseClick(gm, Qt::LeftButton, {}, QPoint(6, gm->height() / 2));
      });
    };
    f.edDeleteAccount->trigger();
    QCOMPARE(attempts, 1);
    QCOMPARE(f.Tabs()->FilterTabBar()->currentIndex(), 0);
    QCOMPARE(f.Search()->text(), QString());
    QVERIFY(f.Settings().ChangesSaved);

    const QString log = accounts + "/console.log";
    QTRY_COMPARE_WITH_TIMEOUT(Lines(ReadAll(log)).size(), 3, 10000);
    QCOMPARE(Lines(ReadAll(log)), QStringList({"ACCOUNT anna DELETE", "ACCOUNT carl DELETE", "A"}));
    QCOMPARE(console.times.size(), size_t(3));
    for (size_t i = 1; i < console.times.size(); ++i)
      QVERIFY2(console.times[i] - console.times[i - 1] >= 50,
               qPrintable(QString::number(console.times[i] - console.times[i - 1])));
    // The server has taken "A" over once the update file is empty.
    QTRY_COMPARE_WITH_TIMEOUT(ReadAll(accounts + "/VornexAcct.scp"), QByteArray(), 10000);
    QCOMPARE(Sections(ReadAll(accounts + "/VornexAccu.scp")), QStringList({"bert", "dora"}));
    QCOMPARE(TableNames(f), QStringList({"bert", "dora"}));

    // With the server stopped, a delete shows the warning and changes nothing.
    QVERIFY(Tmux({"kill-server"}));
    QTRY_VERIFY_WITH_TIMEOUT(!IsServerRunning(server), 10000);
    const QByteArray accuBefore = ReadAll(accounts + "/VornexAccu.scp");
    const QByteArray logBefore = ReadAll(log);
    MessageDialogSeam::Clear();
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    // The offscreen platform does not hand activation back after a modal dialog.
    f.activateWindow();
    QApplication::setActiveWindow(&f);
    grid->setFocus();
    QTRY_VERIFY(grid->hasFocus());
    QVERIFY(f.edDeleteAccount->isEnabled());
    QTest::keyClick(grid, Qt::Key_Delete);
    const auto calls = MessageDialogSeam::Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].text, Ui("err_Account_Delete"));
    QCOMPARE(calls[0].kind, MsgDlgType::Warning);
    QCOMPARE(TableNames(f), QStringList({"bert", "dora"}));
    QCOMPARE(ReadAll(accounts + "/VornexAccu.scp"), accuBefore);
    QCOMPARE(ReadAll(log), logBefore);
    QCOMPARE(console.times.size(), size_t(3));
  }

  // The status bar follows the stand-in server, started from a shell in tmux as an operator
  // would: running, suspended with Ctrl-Z, continued, sent to the background (nothing can
  // type into it then), ended.
  void theStatusBarFollowsTheServer() {
    MainWindowFixture fixture(AccountFile({"[anna]", "PASSWORD=pa", "[EOF]"}));
    MainWindow& f = fixture.Form();
    fixture.Show();
    ServerStatusPanel* panel = f.ServerStatus();
    QVERIFY(panel && panel->isVisible());
    const std::string server = m_serverPath.toStdString();
#define SHOWS_SOON(key)                                       \
  do {                                                        \
    panel->Refresh();                                         \
    QTRY_COMPARE_WITH_TIMEOUT(panel->text(), Ui(key), 10000); \
  } while (false)
    f.Settings().VORNEXDIR.clear();
    f.edReloadAccExecute();
    SHOWS_SOON("ext_Server_NotSet");
    f.Settings().VORNEXDIR = server;
    f.edReloadAccExecute();
    SHOWS_SOON("ext_Server_NotRunning");

    QVERIFY(Tmux({"new-session", "-d", "-s", "kovstat", "-x", "160", "-y", "30",
                  "bash --norc --noprofile"}));
    QVERIFY(Tmux({"send-keys", "-t", "kovstat",
                  QStringLiteral("'%1' --accounts '%2'").arg(m_serverPath, fixture.accountFolder),
                  "Enter"}));
    SHOWS_SOON("ext_Server_Running");
    QVERIFY(panel->toolTip().contains("tmux pane %"));
    QVERIFY(Tmux({"send-keys", "-t", "kovstat", "C-z"}));
    SHOWS_SOON("ext_Server_Stopped");
    QVERIFY(panel->toolTip().contains("Ctrl-Z"));
    QVERIFY(Tmux({"send-keys", "-t", "kovstat", "fg", "Enter"}));
    SHOWS_SOON("ext_Server_Running");
    QVERIFY(Tmux({"send-keys", "-t", "kovstat", "C-z"}));
    SHOWS_SOON("ext_Server_Stopped");
    QVERIFY(Tmux({"send-keys", "-t", "kovstat", "bg", "Enter"}));
    SHOWS_SOON("ext_Server_Unreachable");
    QVERIFY(panel->toolTip().contains("background"));
    QVERIFY(Tmux({"kill-session", "-t", "kovstat"}));
    SHOWS_SOON("ext_Server_NotRunning");
#undef SHOWS_SOON
  }
};

QTEST_MAIN(TestDeleteE2E)
#include "tst_delete_e2e.moc"
