// Save against a live server: rows become stored only when the server has taken their
// sections out of the update file; rows it has not taken over stay pending and are kept in
// the file; a later take-over (a world save) is noticed; the server of the loaded shard is the
// one told and its folder the one written, whatever the preferences say since.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "console/ServerConsole.h"
#include "store/SaveAcct.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/commands/RevertCommand.h"
#include "ui/commands/ReviewDialog.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/mainwindow/ServerStatusPanel.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/ProgressWindow.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

// A server console that records where "A" went and, when asked, takes the update file over
// as the server does: its sections go into the account file (a later section of the same
// name counts), then the update file is emptied.
class ServerStandIn : public IServerConsole {
 public:
  QString updateFile;
  bool takesOver = true;
  bool running = true;
  ConsoleResult answer = ConsoleResult::Make(ConsoleStatus::Delivered);
  std::vector<std::string> told;  // the server paths commands were typed to

  bool IsServerRunning(const std::string&) override { return running; }
  ConsoleResult SendConsoleCommand(const std::string&, const std::string& server) override {
    told.push_back(server);
    if (!answer.Delivered()) return answer;
    if (takesOver) TakeOver();
    return ConsoleResult::Make(ConsoleStatus::Delivered);
  }

  void TakeOver() {
    QFile update(updateFile);
    if (!update.open(QIODevice::ReadOnly)) return;
    QByteArray sections = update.readAll();
    update.close();
    const qsizetype first = sections.indexOf('[');
    sections = first < 0 ? QByteArray() : sections.mid(first);
    QFile accounts(QFileInfo(updateFile).absolutePath() + "/VornexAccu.scp");
    if (!accounts.open(QIODevice::ReadOnly)) return;
    QByteArray bytes = accounts.readAll();
    accounts.close();
    const qsizetype eof = bytes.indexOf("[EOF]");
    bytes.insert(eof < 0 ? bytes.size() : eof, sections);
    if (!accounts.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    accounts.write(bytes);
    accounts.close();
    update.open(QIODevice::WriteOnly | QIODevice::Truncate);
  }
};

bool LogHas(MainWindow& w, const QString& text) {
  QStringList lines;
  for (int i = 0; i < w.Log()->LineCount(); ++i) {
    if (w.Log()->LineText(i).endsWith(text)) return true;
    lines << w.Log()->LineText(i);
  }
  qWarning() << "not in the log:" << text << "log:" << lines;
  return false;
}

}  // namespace

class TestTakeOver : public QObject {
  Q_OBJECT

  struct Live {
    Live()
        : fixture(AccountFile({"[bob]", "PASSWORD=old", "[ann]", "PASSWORD=a", "[EOF]"}),
                  QByteArray("\r\n")),
          scoped(server) {
      server.updateFile = fixture.accountFolder + "/VornexAcct.scp";
      MainWindow& w = fixture.Form();
      w.Settings().VORNEXDIR = "/srv/shard-one/server";
      w.Settings().ACCAUTOUPDATE = true;
      w.Settings().TAKEOVERWAIT = 0;
      w.edReloadAccExecute();
      fixture.MakeCommands();
    }
    void ChangeBob(const char* password) {
      AccountTable& t = fixture.Form().Table();
      QVERIFY(t.Locate("bob"));
      t.Edit();
      t.SetText(dbpasswort, password);
      t.SetInt(dbstatus, StatusChanged);
      t.Post();
    }
    RowId Bob() {
      AccountTable& t = fixture.Form().Table();
      return t.Locate("bob") ? t.Current() : kNoRow;
    }
    QByteArray UpdateFile() {
      QFile f(server.updateFile);
      f.open(QIODevice::ReadOnly);
      return f.readAll();
    }
    MainWindowFixture fixture;
    ServerStandIn server;
    ScopedServerConsole scoped;
  };

 private slots:
  void rowsBecomeStoredWhenTheServerTookThemOver() {
    Live l;
    l.server.takesOver = true;
    l.fixture.Form().Settings().TAKEOVERWAIT = 5;
    l.ChangeBob("new");
    l.fixture.Form().edLiveUpdate->trigger();
    AccountTable& t = l.fixture.Form().Table();
    QCOMPARE(t.IntOr0(l.Bob(), dbstatus), StatusStored);
    QVERIFY(!t.IsWritten(l.Bob()));
    QVERIFY(LogHas(l.fixture.Form(), FormatText(Ui("ext_Log_TakenOver"), {1, 0})));
  }

  // A Save that does not reach the server keeps the fixed text and says below it what
  // happened, where the changes are and when the server takes them over; the log says the
  // same, the status bar names the server's state and the rows stay pending.
  void aSaveThatDoesNotReachTheServerSaysWhatHappened_data() {
    QTest::addColumn<int>("situation");
    QTest::newRow("server not running") << 0;
    QTest::newRow("telling the server switched off") << 1;
    QTest::newRow("console not reachable") << 2;
  }
  void aSaveThatDoesNotReachTheServerSaysWhatHappened() {
    QFETCH(int, situation);
    Live l;
    MainWindow& w = l.fixture.Form();
    const QString reason = QStringLiteral("no tmux pane, screen window or pipe feeds it");
    if (situation == 0) l.server.running = false;
    if (situation == 1) w.Settings().ACCAUTOUPDATE = false;
    if (situation == 2)
      l.server.answer = ConsoleResult::Make(ConsoleStatus::EditFieldNotFound, reason.toStdString());
    l.ChangeBob("new");
    l.fixture.notices.clear();
    w.edLiveUpdate->trigger();

    const QString file =
        QDir::toNativeSeparators(l.fixture.accountFolder + QStringLiteral("/VornexAcct.scp"));
    QVERIFY(l.UpdateFile().contains("[bob]"));
    QCOMPARE(l.fixture.notices.size(), 1);
    const QString notice = l.fixture.notices[0];
    QString explanation;
    if (situation == 2) {
      QVERIFY2(notice.startsWith(kEditFieldNotFoundText), qPrintable(notice));
      QVERIFY(notice.contains(reason));
      explanation = FormatText(Ui("ext_NotSent_A"), {file});
      QVERIFY(LogHas(
          w, FormatText(Ui("ext_Log_NotSent"), {QString(kEditFieldNotFoundText) + " " + reason})));
      QCOMPARE(w.ServerStatus()->text(), Ui("ext_Server_Unreachable"));
    } else {
      QVERIFY2(notice.startsWith(Ui("msg_Acc_Update")), qPrintable(notice));
      explanation =
          FormatText(Ui(situation == 0 ? "ext_Save_NotRunning" : "ext_Save_AutoUpdateOff"), {file});
      QVERIFY(LogHas(w, explanation));
    }
    if (situation == 0) QCOMPARE(w.ServerStatus()->text(), Ui("ext_Server_NotRunning"));
    QVERIFY2(notice.endsWith(explanation), qPrintable(notice));
    for (int i = 0; i < w.Log()->LineCount(); ++i)
      QVERIFY(!w.Log()->LineText(i).contains("Send: A"));
    QCOMPARE(w.Table().IntOr0(l.Bob(), dbstatus), StatusChanged);
    QCOMPARE(w.findChild<QLabel*>("StatePanel")->text(), Ui("ext_panel_waiting"));
  }

  // The wait runs the event loop: the window stays on screen, greyed and shut to input,
  // with the progress window over it.
  void windowStaysVisibleAndShutWhileWaiting() {
    Live l;
    l.server.takesOver = false;
    MainWindow& w = l.fixture.Form();
    w.Settings().TAKEOVERWAIT = 1;
    l.fixture.Show();
    l.ChangeBob("new");
    bool visible = false, central = true, menu = true, progress = false;
    QTimer::singleShot(300, &w, [&] {
      visible = w.isVisible();
      central = w.centralWidget()->isEnabled();
      menu = w.menuWidget()->isEnabled();
      progress = w.Progress().isVisible() && w.Progress().isModal();
    });
    w.edLiveUpdate->trigger();
    QVERIFY(visible);
    QVERIFY(!central);
    QVERIFY(!menu);
    QVERIFY(progress);
    QVERIFY(w.isVisible());
    QVERIFY(w.centralWidget()->isEnabled());
    QVERIFY(w.menuWidget()->isEnabled());
    QVERIFY(!w.Progress().isVisible());
  }

  void rowsNotTakenOverWaitAndAreNoticedLater() {
    Live l;
    l.server.takesOver = false;  // busy: "A" typed, nothing taken over
    l.ChangeBob("first");
    MainWindow& w = l.fixture.Form();
    w.edLiveUpdate->trigger();
    AccountTable& t = w.Table();
    QCOMPARE(t.IntOr0(l.Bob(), dbstatus), StatusChanged);
    QVERIFY(t.IsWritten(l.Bob()));
    QVERIFY(LogHas(w, FormatText(Ui("ext_Log_TakenOver"), {0, 1})));
    const QModelIndex status = w.Model().index(t.ViewIndexOf(l.Bob()), AccountModel::ColStatus);
    QCOMPARE(w.Model().data(status, Qt::ToolTipRole).toString(), Ui("ext_Grid_Hint_Sent"));
    // Review Changes says so too.
    {
      ReviewDialog review(w, l.fixture.commands->Revert());
      QVERIFY(review.Refill());
      auto* list = review.findChild<QTreeWidget*>();
      QVERIFY(list && list->topLevelItemCount() == 1);
      QVERIFY(list->topLevelItem(0)->text(0).contains(Ui("ext_Grid_Hint_Sent")));
    }
    // A second save while the server is busy still holds the first one's change.
    w.edLiveUpdate->trigger();
    QVERIFY(l.UpdateFile().contains("PASSWORD=first"));
    // The server wakes and takes the file over (a world save): the row becomes stored.
    l.server.TakeOver();
    QTRY_COMPARE_WITH_TIMEOUT(t.IntOr0(l.Bob(), dbstatus), StatusStored, 5000);
    QVERIFY(LogHas(w, FormatText(Ui("ext_Log_TakenOverLater"), {1})));
  }

  // A deletion's "A" makes the server take over every section in the file: the rows written
  // earlier become stored, so the next Save does not send them a second time.
  void aDeletionsTakeOverMarksWrittenRowsStored() {
    Live l;
    MainWindow& w = l.fixture.Form();
    l.server.takesOver = false;
    AccountTable& t = w.Table();
    l.ChangeBob("first");
    w.edLiveUpdate->trigger();
    QVERIFY(t.IsWritten(l.Bob()));
    l.server.takesOver = true;
    QVERIFY(t.Locate("ann"));
    QTimer::singleShot(0, &w, [&w] {
      if (auto* d = w.findChild<DeleteConfirmationDialog*>(QStringLiteral("Form6")))
        QTest::mouseClick(d->ButtonYes(), Qt::LeftButton);
    });
    w.edDeleteAccount->trigger();
    QVERIFY(!t.Locate("ann"));
    QTRY_COMPARE_WITH_TIMEOUT(t.IntOr0(l.Bob(), dbstatus), StatusStored, 5000);
    w.edLiveUpdate->trigger();
    QVERIFY2(!l.UpdateFile().contains("[bob]"), l.UpdateFile().constData());
  }

  void theLoadedShardsServerIsTheOneTold() {
    Live l;
    MainWindow& w = l.fixture.Form();
    // The preferences now name another server; the table is still the first shard's.
    w.Settings().VORNEXDIR = "/srv/shard-two/server";
    l.ChangeBob("new");
    w.edLiveUpdate->trigger();
    QCOMPARE(l.server.told, (std::vector<std::string>{"/srv/shard-one/server"}));
  }

  // The preferences changed between load and save: the loaded table's rows go to the folder
  // they came from, and the folder now chosen is left as it was.
  void theLoadedFoldersUpdateFileIsTheOneWritten() {
    Live l;
    l.server.takesOver = false;
    MainWindow& w = l.fixture.Form();
    QTemporaryDir other;
    QVERIFY(other.isValid());
    const QByteArray otherAccounts = "[zed]\r\nPASSWORD=z\r\n[EOF]\r\n";
    for (const auto& [name, bytes] : {std::pair{"/VornexAccu.scp", otherAccounts},
                                      std::pair{"/VornexAcct.scp", QByteArray()}}) {
      QFile f(other.path() + name);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(bytes);
    }
    const QString loaded = w.LoadedAccountDir();
    w.Settings().ACCOUNTDIR = QDir::toNativeSeparators(other.path() + "/").toStdString();
    l.ChangeBob("new");
    w.edLiveUpdate->trigger();
    QVERIFY2(l.UpdateFile().contains("[bob]\r\n"), l.UpdateFile().constData());
    QVERIFY(LogHas(w, FormatText(Ui("ext_Log_SaveOtherFolder"), {loaded})));
    QFile otherUpdate(other.path() + "/VornexAcct.scp");
    QVERIFY(otherUpdate.open(QIODevice::ReadOnly));
    QCOMPARE(otherUpdate.readAll(), QByteArray());
    QFile otherAccountFile(other.path() + "/VornexAccu.scp");
    QVERIFY(otherAccountFile.open(QIODevice::ReadOnly));
    QCOMPARE(otherAccountFile.readAll(), otherAccounts);
    QCOMPARE(w.Table().IntOr0(l.Bob(), dbstatus), StatusChanged);  // not taken over: pending
  }
};

QTEST_MAIN(TestTakeOver)
#include "tst_takeover.moc"
