// End to end: a bulk block of ten highlighted accounts, saved while the stand-in server runs
// in a detached tmux session, reaches the server as ten sections of one update file.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "console/ServerConsole.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/BulkChangeDialog.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The sections of an account file with BLOCK=1 among their lines.
QStringList BlockedSections(const QByteArray& file) {
  QStringList out;
  QString section;
  for (const QByteArray& raw : file.split('\n')) {
    const QString l = QString::fromLatin1(raw.trimmed());
    if (l.startsWith('[')) section = l.mid(1, l.size() - 2);
    if (l == "BLOCK=1") out << section;
  }
  return out;
}

int RowOf(MainWindow& f, const QString& name) {
  for (int i = 0; i < f.Table().ViewCount(); ++i)
    if (QString::fromLatin1(f.Table().Text(f.Table().ViewRow(i), dbaccount)) == name) return i;
  return -1;
}

}  // namespace

class TestBulkE2E : public QObject {
  Q_OBJECT

  QTemporaryDir m_tmp{QDir::tempPath() + "/kov-bulk-XXXXXX"};
  QString m_serverPath;
  QProcessEnvironment m_env;

  QString Tmux(const QStringList& args, bool* ok = nullptr) {
    QProcess p;
    p.setProcessEnvironment(m_env);
    p.start(QStringLiteral("tmux"), args);
    const bool done =
        p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok) *ok = done;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
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

  void bulkBlockOfTenReachesTheServer() {
    QStringList lines{"// accounts"};
    QStringList names;
    for (int i = 1; i <= 12; ++i) {
      names << QStringLiteral("player%1").arg(i, 2, 10, QLatin1Char('0'));
      lines << "[" + names.last() + "]"
            << "PASSWORD=pw"
            << "PLEVEL=1";
    }
    lines << "[EOF]";
    MainWindowFixture fixture(AccountFile(lines), AccountFile({"// updates"}));
    MainWindow& f = fixture.Form();
    const QString accounts = fixture.accountFolder;
    bool ok = false;
    Tmux({"new-session", "-d", "-s", "kovbulk", "-x", "200", "-y", "50", m_serverPath, "--accounts",
          accounts},
         &ok);
    QVERIFY(ok);
    const std::string server = m_serverPath.toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(IsServerRunning(server), 10000);
    f.Settings().VORNEXDIR = server;
    f.Settings().ACCAUTOUPDATE = true;
    f.edReloadAccExecute();
    fixture.MakeCommands();
    fixture.Show();

    // player02 .. player11 highlighted: a click and a shift-click.
    QTableView* grid = f.Grid();
    grid->setFocus();
    auto at = [&](const QString& n) {
      return grid->visualRect(f.Model().index(RowOf(f, n), AccountModel::ColAccount)).center();
    };
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at("player02"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, at("player11"));
    QString heading;
    QTimer::singleShot(0, &f, [&] {
      auto* d = f.findChild<BulkChangeDialog*>(QStringLiteral("BulkChangeDialog"));
      QVERIFY(d);
      heading = d->HeadingLabel()->text();
      QTest::mouseClick(d->ApplyButton(), Qt::LeftButton);
    });
    f.edBulkBlock->trigger();
    QCOMPARE(heading, QStringLiteral("10 accounts: BLOCK 0 -> 1"));
    f.edLiveUpdate->trigger();

    // The server took one update file of ten sections over: its console says so, and its
    // account file holds the ten blocks.
    QTRY_VERIFY_WITH_TIMEOUT(
        Tmux({"capture-pane", "-p", "-t", "kovbulk"}).contains("Accounts updated: 10 changed"),
        10000);
    QTRY_COMPARE_WITH_TIMEOUT(ReadAll(accounts + "/VornexAcct.scp"), QByteArray(), 10000);
    QCOMPARE(BlockedSections(ReadAll(accounts + "/VornexAccu.scp")), names.mid(1, 10));
    QCOMPARE(ReadAll(accounts + "/console.log").trimmed(), QByteArray("A"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.AnyRowPending(), 10000);
  }
};

QTEST_MAIN(TestBulkE2E)
#include "tst_bulk_e2e.moc"
