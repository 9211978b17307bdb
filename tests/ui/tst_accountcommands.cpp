// New Account and Delete Account as the operator runs them from the main window, with the
// server console replaced by a recorder.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "console/ServerConsole.h"
#include "store/GeneratePassword.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/AccountCommands.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/commands/NewAccountDialog.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/FilterTabs.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

class RecordingConsole : public IServerConsole {
 public:
  struct Sent {
    std::string command;
    qint64 atMs;
  };
  bool running = true;
  std::vector<Sent> sent;
  int runningAsked = 0;
  // Answer for a command; delivered unless set.
  std::function<ConsoleResult(const std::string&)> answer;
  // Runs inside every send, while the deletion is in progress.
  std::function<void(const std::string&)> during;

  RecordingConsole() { m_clock.start(); }
  bool IsServerRunning(const std::string&) override {
    ++runningAsked;
    return running;
  }
  ConsoleResult SendConsoleCommand(const std::string& command, const std::string&) override {
    sent.push_back({command, m_clock.elapsed()});
    if (during) during(command);
    return answer ? answer(command) : ConsoleResult::Make(ConsoleStatus::Delivered);
  }
  QStringList Commands() const {
    QStringList out;
    for (const Sent& s : sent) out << QString::fromStdString(s.command);
    return out;
  }

 private:
  QElapsedTimer m_clock;
};

QByteArray Accounts(const QStringList& names) {
  QStringList lines{"// accounts"};
  for (const QString& n : names)
    lines << "[" + n + "]"
          << "PASSWORD=pw"
          << "PLEVEL=1";
  lines << "[EOF]";
  return AccountFile(lines);
}

QStringList Names(MainWindow& f) {
  QStringList out;
  for (RowId r : f.Table().Order()) out << QString::fromLatin1(f.Table().Text(r, dbaccount));
  return out;
}

int RowOf(MainWindow& f, const QString& name) {
  for (int i = 0; i < f.Table().ViewCount(); ++i)
    if (QString::fromLatin1(f.Table().Text(f.Table().ViewRow(i), dbaccount)) == name) return i;
  return -1;
}

// Makes `current` the current row and selects it with the others, as ctrl-clicks do.
void Select(MainWindow& f, const QStringList& names, const QString& current) {
  QTableView* grid = f.Grid();
  grid->setFocus();
  const int currentRow = RowOf(f, current);
  QTest::mouseClick(
      grid->viewport(), Qt::LeftButton, {},
      grid->visualRect(f.Model().index(currentRow, AccountModel::ColAccount)).center());
  for (const QString& n : names) {
    if (n == current) continue;
    const QModelIndex i = f.Model().index(RowOf(f, n), AccountModel::ColAccount);
    grid->selectionModel()->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

QStringList LogLines(MainWindow& f) {
  QStringList out;
  for (int i = 0; i < f.Log()->LineCount(); ++i) out << f.Log()->LineText(i).trimmed();
  return out;
}

QStringList SendLines(MainWindow& f) { return LogLines(f).filter(QRegularExpression("^Send: ")); }

// Every field of every row, to see that nothing else changed.
QStringList TableText(MainWindow& f) {
  QStringList out;
  for (RowId r : f.Table().Order()) {
    QStringList fields;
    for (int i = 0; i < kFieldCount; ++i)
      fields << QString::fromLatin1(f.Table().Text(r, static_cast<Field>(i)));
    out << fields.join('|');
  }
  return out;
}

DeleteConfirmationDialog* Confirmation(MainWindow& f) {
  return f.findChild<DeleteConfirmationDialog*>(QStringLiteral("Form6"));
}
NewAccountDialog* FindNewAccountDialog(MainWindow& f) {
  return f.findChild<NewAccountDialog*>(QStringLiteral("Form2"));
}

}  // namespace

class TestAccountCommands : public QObject {
  Q_OBJECT

  struct Setup {
    explicit Setup(const QStringList& names, const QByteArray& acct = {})
        : fixture(Accounts(names), acct), scoped(console) {
      fixture.Form().Settings().VORNEXDIR = "/srv/vornex/vornexserver";
      fixture.Form().edReloadAccExecute();  // the server of the loaded shard is the one told
      fixture.MakeCommands();
      fixture.Show();
    }
    MainWindow& Form() { return fixture.Form(); }
    // Triggers Delete Account and answers the confirmation with `answer`.
    void Delete(const std::function<void(DeleteConfirmationDialog&)>& answer) {
      bool shown = false;
      QTimer::singleShot(0, &Form(), [&] {
        DeleteConfirmationDialog* d = Confirmation(Form());
        shown = d && d->isVisible();
        if (d) answer(*d);
      });
      Form().edDeleteAccount->trigger();
      confirmationShown = shown;
    }
    MainWindowFixture fixture;
    RecordingConsole console;
    ScopedServerConsole scoped;
    bool confirmationShown = false;
  };

  static void Yes(DeleteConfirmationDialog& d) { QTest::mouseClick(d.ButtonYes(), Qt::LeftButton); }

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void init() { MessageDialogSeam::Clear(); }

  void deletesTestAndTestingTogether() {
    Setup s({"testing", "test", "other"});
    Select(s.Form(), {"test", "testing"}, "testing");
    s.Delete(Yes);
    QVERIFY(s.confirmationShown);
    QCOMPARE(s.console.Commands(),
             QStringList({"ACCOUNT testing DELETE", "ACCOUNT test DELETE", "A"}));
    QCOMPARE(Names(s.Form()), QStringList({"other"}));
    QCOMPARE(SendLines(s.Form()),
             QStringList({"Send: ACCOUNT testing DELETE", "Send: ACCOUNT test DELETE",
                          "Send: A (Account Update)"}));
    QCOMPARE(s.Form().statusBar()->findChild<QLabel*>("EntryPanel")->text(),
             FormatText(Ui("f1_panel_0"), {1}));
  }

  void confirmationListFromSelectionOrCurrentRow() {
    Setup s({"anna", "bert", "carl", "dora"});
    QStringList listed;
    auto record = [&](DeleteConfirmationDialog& d) {
      for (int i = 0; i < d.Count(); ++i)
        listed << QString::fromStdString(d.ItemName(i)) + (d.IsChecked(i) ? "+" : "-");
      QTest::mouseClick(d.ButtonNo(), Qt::LeftButton);
    };
    Select(s.Form(), {"bert"}, "bert");
    s.Delete(record);
    QCOMPARE(listed, QStringList({"bert+"}));
    listed.clear();
    Select(s.Form(), {"dora", "anna", "carl"}, "dora");
    s.Delete(record);
    QCOMPARE(listed, QStringList({"anna+", "carl+", "dora+"}));
  }

  void threeSelectedOneUnticked() {
    Setup s({"anna", "bert", "carl", "dora"});
    Select(s.Form(), {"anna", "bert", "carl"}, "anna");
    s.Delete([](DeleteConfirmationDialog& d) {
      d.AccountList()->item(1)->setCheckState(Qt::Unchecked);
      QTest::mouseClick(d.ButtonYes(), Qt::LeftButton);
    });
    QCOMPARE(s.console.Commands(),
             QStringList({"ACCOUNT anna DELETE", "ACCOUNT carl DELETE", "A"}));
    for (size_t i = 1; i < s.console.sent.size(); ++i)
      QVERIFY2(s.console.sent[i].atMs - s.console.sent[i - 1].atMs >= 50,
               qPrintable(QString::number(s.console.sent[i].atMs - s.console.sent[i - 1].atMs)));
    QCOMPARE(Names(s.Form()), QStringList({"bert", "dora"}));
  }

  void answeredNo() {
    Setup s({"anna", "bert"});
    s.Form().SetChangesSaved(true);
    const int logLines = s.Form().Log()->LineCount();
    Select(s.Form(), {"anna", "bert"}, "anna");
    s.Delete([](DeleteConfirmationDialog& d) { QTest::mouseClick(d.ButtonNo(), Qt::LeftButton); });
    QVERIFY(s.confirmationShown);
    QVERIFY(s.console.sent.empty());
    QCOMPARE(s.Form().Log()->LineCount(), logLines);
    QCOMPARE(Names(s.Form()), QStringList({"anna", "bert"}));
    QVERIFY(s.Form().ChangesSaved());
  }

  void closedByEscapeDeletesNothing() {
    Setup s({"anna"});
    s.Delete([](DeleteConfirmationDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
    QVERIFY(s.console.sent.empty());
    QCOMPARE(Names(s.Form()), QStringList({"anna"}));
  }

  void serverNotRunning() {
    Setup s({"anna", "bert"});
    s.console.running = false;
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    s.Delete(Yes);
    QVERIFY(!s.confirmationShown);
    const auto calls = MessageDialogSeam::Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].text, Ui("err_Account_Delete"));
    QCOMPARE(calls[0].kind, MsgDlgType::Warning);
    QCOMPARE(calls[0].buttons, MsgDlgButtons(MsgDlgBtn::OK));
    QVERIFY(s.console.sent.empty());
    QCOMPARE(Names(s.Form()), QStringList({"anna", "bert"}));
  }

  void undeliveredCommandKeepsItsRow() {
    Setup s({"anna", "bert", "carl"});
    s.console.answer = [](const std::string& c) {
      return c == "ACCOUNT bert DELETE" ? ConsoleResult::Make(ConsoleStatus::EditFieldNotFound)
                                        : ConsoleResult::Make(ConsoleStatus::Delivered);
    };
    Select(s.Form(), {"anna", "bert", "carl"}, "anna");
    s.Delete(Yes);
    QCOMPARE(s.console.Commands(), QStringList({"ACCOUNT anna DELETE", "ACCOUNT bert DELETE",
                                                "ACCOUNT carl DELETE", "A"}));
    QCOMPARE(Names(s.Form()), QStringList({"bert"}));
    QCOMPARE(s.fixture.notices,
             QStringList({QStringLiteral("The account \"bert\" was not deleted: ") +
                          kEditFieldNotFoundText}));
    QVERIFY(LogLines(s.Form()).contains(s.fixture.notices[0]));
  }

  // Deletions typed, then "A" not: the log must not claim it was sent, and the operator
  // learns what waits in the update file.
  void anANotDeliveredIsExplainedAndLogged() {
    Setup s({"anna", "bert"});
    s.console.answer = [](const std::string& c) {
      return c == "A" ? ConsoleResult::Make(ConsoleStatus::EditFieldNotFound, "screen failed")
                      : ConsoleResult::Make(ConsoleStatus::Delivered);
    };
    Select(s.Form(), {"anna"}, "anna");
    s.Delete(Yes);
    QCOMPARE(s.console.Commands(), QStringList({"ACCOUNT anna DELETE", "A"}));
    QCOMPARE(s.fixture.notices.size(), 1);
    QVERIFY(s.fixture.notices[0].startsWith(QString(kEditFieldNotFoundText) + "\nscreen failed"));
    QVERIFY(s.fixture.notices[0].contains(Ui("ext_NotSent_A").section("%s", 0, 0)));
    const QStringList log = LogLines(s.Form());
    QVERIFY(!log.contains("Send: A (Account Update)"));
    QVERIFY(log.contains(
        FormatText(Ui("ext_Log_NotSent"), {QString(kEditFieldNotFoundText) + " screen failed"})));
  }

  void nameWithBlankIsNotTyped() {
    Setup s({"two words", "plain"});
    Select(s.Form(), {"two words", "plain"}, "plain");
    s.Delete(Yes);
    QCOMPARE(s.console.Commands(), QStringList({"ACCOUNT plain DELETE", "A"}));
    QCOMPARE(Names(s.Form()), QStringList({"two words"}));
    QCOMPARE(s.fixture.notices.size(), 1);
    QVERIFY(s.fixture.notices[0].contains("two words"));
    QVERIFY(s.fixture.notices[0].contains("blank"));
  }

  void pendingSectionsGoBeforeA() {
    const QByteArray acct = AccountFile(
        {"// updates", "[gone]", "PASSWORD=new", "[kept]", "PASSWORD=k", "[gone2]", "PLEVEL=2"});
    Setup s({"gone", "kept", "gone2"}, acct);
    const QString path = s.fixture.accountFolder + "/VornexAcct.scp";
    QByteArray atA;
    s.console.during = [&](const std::string& c) {
      if (c != "A") return;
      QFile f(path);
      if (f.open(QIODevice::ReadOnly)) atA = f.readAll();
    };
    Select(s.Form(), {"gone", "gone2"}, "gone");
    s.Delete(Yes);
    QCOMPARE(s.console.Commands().last(), QStringLiteral("A"));
    QCOMPARE(atA, AccountFile({"// updates", "[kept]", "PASSWORD=k"}));
  }

  void busyWhileDeleting() {
    Setup s({"anna", "bert"});
    MainWindow& f = s.Form();
    const bool reloadBefore = f.edReloadAcc->isEnabled();
    bool busy = false, newEnabled = true, reloadEnabled = true, closedDuring = true;
    s.console.during = [&](const std::string& c) {
      if (c != "ACCOUNT anna DELETE") return;
      busy = f.busy;
      newEnabled = f.edNewAccount->isEnabled();
      reloadEnabled = f.edReloadAcc->isEnabled();
      f.Settings().ChangesSaved = true;
      f.close();
      closedDuring = !f.isVisible();
      f.edDeleteAccount->trigger();  // re-entry does nothing
      f.edNewAccount->trigger();
    };
    Select(f, {"anna", "bert"}, "anna");
    s.Delete(Yes);
    QVERIFY(busy);
    QVERIFY(!newEnabled);
    QVERIFY(!reloadEnabled);
    QVERIFY(!closedDuring);
    QCOMPARE(s.console.Commands(),
             QStringList({"ACCOUNT anna DELETE", "ACCOUNT bert DELETE", "A"}));
    QVERIFY(!f.busy);
    QVERIFY(f.edNewAccount->isEnabled());
    QCOMPARE(f.edReloadAcc->isEnabled(), reloadBefore);
  }

  // The pauses between the accounts run the event loop; what the operator does there must
  // neither change a row nor move the view under the deletion.
  void inputDuringTheDeletionIsHeldBack() {
    Setup s({"anna", "bert", "carl", "dora", "emil"});
    MainWindow& f = s.Form();
    Select(f, {"anna", "carl", "emil"}, "anna");
    const QStringList others = [&] {
      QStringList t = TableText(f);
      return QStringList({t[1], t[3]});
    }();
    QTabBar* tabs = f.Tabs()->FilterTabBar();
    const int tab = tabs->currentIndex();
    QHeaderView* header = f.Grid()->horizontalHeader();
    const int sortSection = header->sortIndicatorSection();
    const Qt::SortOrder sortOrder = header->sortIndicatorOrder();
    auto* gm = f.findChild<QCheckBox*>(QStringLiteral("cbGMPrivsBox"));
    QVERIFY(gm);
    int attempts = 0;
    s.console.during = [&](const std::string& c) {
      if (c == "A") return;
      // Fires inside the pause that follows this command.
      QTimer::singleShot(5, &f, [&] {
        ++attempts;
        QTest::mouseClick(gm, Qt::LeftButton, {}, QPoint(6, gm->height() / 2));
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tabs->count() - 1).center());
        QTest::keyClick(f.Search(), Qt::Key_B);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(AccountModel::ColAccount) + 5,
                                 header->height() / 2));
        QTest::keyClick(f.Grid(), Qt::Key_End, Qt::ControlModifier);
      });
    };
    s.Delete(Yes);
    QCOMPARE(attempts, 3);
    QCOMPARE(s.console.Commands(), QStringList({"ACCOUNT anna DELETE", "ACCOUNT carl DELETE",
                                                "ACCOUNT emil DELETE", "A"}));
    QCOMPARE(Names(f), QStringList({"bert", "dora"}));
    QCOMPARE(TableText(f), others);
    QCOMPARE(tabs->currentIndex(), tab);
    QCOMPARE(f.Search()->text(), QString());
    QCOMPARE(header->sortIndicatorSection(), sortSection);
    QCOMPARE(header->sortIndicatorOrder(), sortOrder);
    QVERIFY(s.fixture.notices.isEmpty());
    // Afterwards the window takes input again.
    QTest::keyClick(f.Search(), Qt::Key_B);
    QCOMPARE(f.Search()->text(), QStringLiteral("b"));
  }

  // Ctrl-click selects another row and then unselects it: the current row moved there, but
  // only the first row is highlighted, and that is the one the confirmation lists.
  void deleteTakesTheHighlightedRowNotTheCurrentOne() {
    Setup s({"anna", "bob", "carl"});
    MainWindow& f = s.Form();
    QTableView* grid = f.Grid();
    auto centre = [&](const QString& name) {
      return grid->visualRect(f.Model().index(RowOf(f, name), AccountModel::ColAccount)).center();
    };
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre("bob"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, centre("carl"));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, centre("carl"));
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    QStringList listed;
    s.Delete([&](DeleteConfirmationDialog& d) {
      for (int i = 0; i < d.Count(); ++i) listed << QString::fromStdString(d.ItemName(i));
      Yes(d);
    });
    QCOMPARE(listed, QStringList({"bob"}));
    QCOMPARE(s.console.Commands(), QStringList({"ACCOUNT bob DELETE", "A"}));
    QCOMPARE(Names(f), QStringList({"anna", "carl"}));
  }

  // Ctrl-click takes the only highlight away: Delete has nothing to act on and says so by
  // being disabled; the key does nothing. A click brings both back.
  void noHighlightedRowDisablesDelete() {
    Setup s({"anna", "bob"});
    MainWindow& f = s.Form();
    QTableView* grid = f.Grid();
    const QPoint bob =
        grid->visualRect(f.Model().index(RowOf(f, "bob"), AccountModel::ColAccount)).center();
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, bob);
    QVERIFY(f.edDeleteAccount->isEnabled());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, bob);
    QVERIFY(!grid->selectionModel()->hasSelection());
    QVERIFY(!f.edDeleteAccount->isEnabled());
    QTest::keyClick(grid, Qt::Key_Delete);
    QVERIFY(!s.confirmationShown);
    QVERIFY(s.console.sent.empty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, bob);
    QVERIFY(f.edDeleteAccount->isEnabled());
  }

  // Ctrl with the move keys moves the highlight with the current row, so the editor, the
  // highlight and Delete agree on one row.
  void keyboardMovesCarryTheHighlight() {
    Setup s({"anna", "bob", "carl", "dora", "emil", "fritz"});
    MainWindow& f = s.Form();
    QTableView* grid = f.Grid();
    Select(f, {"bob"}, "bob");
    struct Move {
      Qt::Key key;
      const char* row;
    };
    for (const Move& m :
         {Move{Qt::Key_Down, "carl"}, Move{Qt::Key_Down, "dora"}, Move{Qt::Key_End, "fritz"},
          Move{Qt::Key_Home, "anna"}, Move{Qt::Key_PageDown, "fritz"}, Move{Qt::Key_Up, "emil"}}) {
      QTest::keyClick(grid, m.key, Qt::ControlModifier);
      QCOMPARE(QString::fromLatin1(f.Table().Text(dbaccount)), QString::fromLatin1(m.row));
      const QModelIndexList selected = grid->selectionModel()->selectedRows();
      QCOMPARE(selected.size(), 1);
      QCOMPARE(selected[0].row(), RowOf(f, m.row));
    }
    QStringList listed;
    s.Delete([&](DeleteConfirmationDialog& d) {
      for (int i = 0; i < d.Count(); ++i) listed << QString::fromStdString(d.ItemName(i));
      Yes(d);
    });
    QCOMPARE(listed, QStringList({"emil"}));
    QCOMPARE(s.console.Commands(), QStringList({"ACCOUNT emil DELETE", "A"}));
  }

  void delKeyBelongsToTheGrid() {
    Setup s({"anna"});
    MainWindow& f = s.Form();
    s.console.running = false;  // a delete stops at the warning, which the seam records
    auto* field = new QLineEdit(QStringLiteral("abc"), &f);
    f.CentralLayout()->addWidget(field);
    field->show();
    field->setFocus();
    field->setCursorPosition(0);
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Delete);
    QCOMPARE(field->text(), QStringLiteral("bc"));
    QCOMPARE(s.console.runningAsked, 0);

    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    f.Grid()->setFocus();
    QTRY_VERIFY(f.Grid()->hasFocus());
    QTest::keyClick(f.Grid(), Qt::Key_Delete);
    QCOMPARE(s.console.runningAsked, 1);
  }

  void newAccountCommand() {
    Setup s({"anna", "bert"});
    MainWindow& f = s.Form();
    f.SetChangesSaved(true);
    QTimer::singleShot(0, &f, [&] {
      NewAccountDialog* d = FindNewAccountDialog(f);
      QVERIFY(d && d->isVisible());
      QTest::keyClicks(d->eAccount(), "carl");
      QTest::keyClicks(d->ePassword(), "pw1234");
      QTest::mouseClick(d->InsertButton(), Qt::LeftButton);
    });
    f.edNewAccount->trigger();
    QCOMPARE(Names(f), QStringList({"anna", "bert", "carl"}));
    QCOMPARE(QString::fromLatin1(f.Table().Text(dbaccount)), QStringLiteral("carl"));
    QVERIFY(!f.ChangesSaved());
    QCOMPARE(f.statusBar()->findChild<QLabel*>("EntryPanel")->text(),
             FormatText(Ui("f1_panel_0"), {3}));

    // A name taken in another letter case is refused and nothing is added.
    QTimer::singleShot(0, &f, [&] {
      NewAccountDialog* d = FindNewAccountDialog(f);
      d->eAccount()->setText("Anna");
      QTest::mouseClick(d->InsertButton(), Qt::LeftButton);
      QVERIFY(d->isVisible());
      d->reject();
    });
    f.edNewAccount->trigger();
    QCOMPARE(Names(f), QStringList({"anna", "bert", "carl"}));
    QCOMPARE(s.fixture.notices.last(), Ui("err_account_dubble"));
  }

  void editorPasswordButtonGenerates() {
    Setup s({"anna"});
    EditorPanel* editor = s.Form().Editor();
    QVERIFY(editor);
    QSet<QString> seen;
    for (int i = 0; i < 3; ++i) {
      QTest::mouseClick(editor->GeneratePasswordButton(), Qt::LeftButton);
      const QString pw = QString::fromLatin1(s.Form().Table().Text(dbpasswort));
      QCOMPARE(pw.size(), 6);
      for (QChar c : pw) QVERIFY(QByteArray(kPasswordAlphabet).contains(char(c.unicode())));
      seen.insert(pw);
    }
    QCOMPARE(seen.size(), 3);
  }

  void infoOpensTheInfoBox() {
    Setup s({"anna"});
    bool shown = false;
    QTimer::singleShot(0, &s.Form(), [&] {
      QDialog* box = s.Form().findChild<QDialog*>(QStringLiteral("Form3"));
      shown = box && box->isVisible();
      if (box) box->accept();
    });
    QVERIFY(s.Form().edHelp->isEnabled());
    s.Form().edHelp->trigger();
    QVERIFY(shown);
  }
};

QTEST_MAIN(TestAccountCommands)
#include "tst_accountcommands.moc"
