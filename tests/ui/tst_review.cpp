// Review Changes and Revert Account against the server's account file.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "support/MainWindowFixture.h"
#include "ui/commands/RevertCommand.h"
#include "ui/commands/ReviewDialog.h"
#include "ui/grid/AccountGrid.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {
QByteArray Accounts() {
  return AccountFile({"[Alice]", "PASSWORD=old-pw", "PLEVEL=1", "EMAIL=alice@example.org", "[bob]",
                      "PASSWORD=bobpw", "PLEVEL=1", "[Alice]", "PASSWORD=second"});
}

void EditCurrent(AccountTable& t, Field f, const char* value) {
  t.SetText(f, value);
  t.SetInt(dbstatus, StatusChanged);
  t.Post();
}

void SelectAccount(MainWindow& form, const char* name) { QVERIFY(form.Table().Locate(name)); }

void AddNew(AccountTable& t, const char* name) {
  t.Append();
  t.SetText(dbaccount, name);
  t.SetText(dbpasswort, "fresh");
  t.SetInt(dbstatus, StatusNew);
  t.Post();
}

QString StatePanel(MainWindow& form) { return form.findChild<QLabel*>("StatePanel")->text(); }
}  // namespace

class TestReview : public QObject {
  Q_OBJECT

 private slots:
  void init() { MessageDialogSeam::Clear(); }

  void reviewShowsOldAndNewPassword() {
    MainWindowFixture f(Accounts());
    f.MakeCommands();
    AccountTable& t = f.Form().Table();
    SelectAccount(f.Form(), "Alice");
    EditCurrent(t, dbpasswort, "new-pw");
    AddNew(t, "Zed");
    ReviewDialog dialog(f.Form(), f.commands->Revert());
    QVERIFY(dialog.Refill());
    QTreeWidget* list = dialog.List();
    QCOMPARE(list->topLevelItemCount(), 2);
    QTreeWidgetItem* alice = list->topLevelItem(0);
    QVERIFY(alice->text(0).startsWith("Alice"));
    QCOMPARE(alice->childCount(), 1);                      // only the field that differs
    QCOMPARE(alice->child(0)->text(0), Ui("f1_Label_2"));  // the caption, not the table's name
    QCOMPARE(alice->child(0)->text(1), QStringLiteral("old-pw"));  // the first Alice of the file
    QCOMPARE(alice->child(0)->text(2), QStringLiteral("new-pw"));
    QTreeWidgetItem* zed = list->topLevelItem(1);
    QVERIFY(zed->text(0).startsWith("Zed"));
    QStringList fields;
    for (int i = 0; i < zed->childCount(); ++i) fields << zed->child(i)->text(0);
    QCOMPARE(fields, QStringList({Ui("f1_Grid_Account"), Ui("f1_Label_2")}));
    if (qEnvironmentVariableIsSet("KOV_SCREENSHOT_DIR")) {
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      dialog.grab().save(qEnvironmentVariable("KOV_SCREENSHOT_DIR") + "/review.png");
    }
    // Reverting the selected rows from the dialog.
    alice->setSelected(true);
    zed->setSelected(true);
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Yes);
    QTest::mouseClick(dialog.RevertButton(), Qt::LeftButton);
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(t.RowCount(), 3);
    QCOMPARE(StatePanel(f.Form()), Ui("f1_panel_1_saved"));
  }

  void revertRestoresTheFilesValues() {
    MainWindowFixture f(Accounts());
    f.MakeCommands();
    AccountTable& t = f.Form().Table();
    QAction* revert = f.commands->Revert().Action();
    QVERIFY(f.Form().GridView()->PopupMenu()->actions().contains(revert));
    SelectAccount(f.Form(), "bob");
    QVERIFY(!revert->isEnabled());  // a stored row has nothing to revert
    t.SetText(dbemail, "b@x");
    t.SetInt(dbplevel, 0);
    EditCurrent(t, dbpasswort, "changed");
    SelectAccount(f.Form(), "Alice");
    EditCurrent(t, dbemail, "other@example.org");
    QCOMPARE(StatePanel(f.Form()), Ui("f1_panel_1_nosaved"));
    SelectAccount(f.Form(), "bob");
    QVERIFY(revert->isEnabled());
    revert->trigger();
    const RowId bob = t.Current();
    QCOMPARE(t.Text(bob, dbpasswort), std::string_view("bobpw"));
    QCOMPARE(t.Text(bob, dbemail), std::string_view(""));
    QCOMPARE(t.IntOr0(bob, dbstatus), StatusStored);
    QVERIFY(!revert->isEnabled());
    // Alice still pending: not saved yet.
    QCOMPARE(StatePanel(f.Form()), Ui("f1_panel_1_nosaved"));
    SelectAccount(f.Form(), "Alice");
    revert->trigger();
    QCOMPARE(t.Text(t.Current(), dbemail), std::string_view("alice@example.org"));
    QCOMPARE(StatePanel(f.Form()), Ui("f1_panel_1_saved"));
    QVERIFY(f.Form().ChangesSaved());
  }

  void newRowGoesOnlyAfterYes() {
    MainWindowFixture f(Accounts());
    f.MakeCommands();
    AccountTable& t = f.Form().Table();
    AddNew(t, "Zed");
    QVERIFY(f.commands->Revert().Action()->isEnabled());
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::No);
    f.commands->Revert().Action()->trigger();
    QCOMPARE(t.RowCount(), 4);
    QVERIFY(MessageDialogSeam::Calls().last().text.contains("Zed"));
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Yes);
    f.commands->Revert().Action()->trigger();
    QCOMPARE(t.RowCount(), 3);
    QVERIFY(f.Form().ChangesSaved());
  }

  void changedRowMissingFromTheFileStaysAndIsNamed() {
    MainWindowFixture f(Accounts());
    f.MakeCommands();
    AccountTable& t = f.Form().Table();
    SelectAccount(f.Form(), "bob");
    EditCurrent(t, dbpasswort, "changed");
    // The server's file changed under us: bob is gone from it.
    QFile file(f.accountFolder + "/VornexAccu.scp");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(AccountFile({"[Alice]", "PASSWORD=old-pw"}));
    file.close();
    f.commands->Revert().Action()->trigger();
    QCOMPARE(t.Text(t.Current(), dbpasswort), std::string_view("changed"));
    QCOMPARE(t.IntOr0(t.Current(), dbstatus), StatusChanged);
    QCOMPARE(f.notices.size(), 1);
    QVERIFY(f.notices.first().contains("bob"));
  }

  // A row already in the update file: reverting it takes its section out, so the server does
  // not apply it and the next load does not bring it back; other sections stay.
  void revertTakesTheSectionOutOfTheUpdateFile() {
    const QByteArray pending = "[bob]\r\nPASSWORD=written\r\n\r\n[Alice]\r\nPASSWORD=alice-new\r\n";
    MainWindowFixture f(Accounts(), pending);
    f.MakeCommands();
    AccountTable& t = f.Form().Table();
    SelectAccount(f.Form(), "bob");
    QCOMPARE(t.IntOr0(t.Current(), dbstatus), StatusChanged);
    f.commands->Revert().Action()->trigger();
    QCOMPARE(t.IntOr0(t.Current(), dbstatus), StatusStored);
    QFile file(f.accountFolder + "/VornexAcct.scp");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray left = file.readAll();
    QVERIFY2(!left.contains("[bob]"), left.constData());
    QVERIFY2(left.contains("PASSWORD=alice-new"), left.constData());
  }
};

QTEST_MAIN(TestReview)
#include "tst_review.moc"
