#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "store/PrivFlags.h"
#include "support/MainWindowFixture.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/FilterTabs.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

QByteArray Accounts() {
  return AccountFile({
      "[gmuser]",
      "PASSWORD=secret",
      "PLEVEL=4",
      "PRIV=0",
      "EMAIL=gm@example.org",
      "[lower]",
      "PLEVEL=1",
      "PRIV=1a",
      "[high]",
      "PLEVEL=1",
      "PRIV=8000",
      "[seven]",
      "PLEVEL=1",
      "PRIV=1234567",
      "[blockedNoBit]",
      "PLEVEL=1",
      "BLOCK=1",
      "PRIV=0",
      "[jailed]",
      "PLEVEL=1",
      "JAIL=1",
      "PRIV=800",
      "[gaps]",
      "PLEVEL=1",
      "PRIV=0",
      "[badflags]",
      "PLEVEL=1",
      "PRIV=xyz",
      "[dev]",
      "PLEVEL=Developer",
      "LANG=DEU",
      "TOTALCONNECTTIME=77",
      "LASTIP=10.0.0.9",
      "[seer]",
      "PLEVEL=5",
      "[EOF]",
  });
}

QString Str(std::string_view v) {
  return QString::fromLatin1(v.data(), static_cast<int>(v.size()));
}

struct Editor {
  explicit Editor(MainWindow& f) : form(f), panel(*f.Editor()), table(f.Table()) {}
  MainWindow& form;
  EditorPanel& panel;
  AccountTable& table;

  void Go(const char* name) {
    if (!table.Locate(name)) qFatal("no account %s", name);
  }
  QString Priv() const { return Str(table.Text(dbpriv)); }
  int Status() const { return table.IntOr0(table.Current(), dbstatus); }
  QCheckBox* Box(int toggle) const { return panel.ToggleBox(toggle); }
  void Click(int toggle) {
    QCheckBox* b = Box(toggle);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
  }
  QString Caption() const { return panel.PrivFlagsBox()->title(); }
  QLineEdit* Edit(const char* name) const { return form.findChild<QLineEdit*>(name); }
  QString State() const { return form.findChild<QLabel*>("StatePanel")->text(); }
  QString Entry() const { return form.findChild<QLabel*>("EntryPanel")->text(); }
};

// Typing characters that have no key of their own.
void TypeText(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }
}

int ToggleOf(const char* action) {
  for (int i = 0; i < 15; ++i)
    if (qstrcmp(EditorPanel::kToggles[static_cast<size_t>(i)].action, action) == 0) return i;
  qFatal("no toggle %s", action);
}

}  // namespace

class TestEditor : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }

  void flagTextParsing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<uint>("value");
    QTest::newRow("zero") << "$0" << true << 0u;
    QTest::newRow("lower case") << "$1a" << true << 0x1Au;
    QTest::newRow("upper case") << "$FFFFFFFF" << true << 0xFFFFFFFFu;
    QTest::newRow("leading zeros") << "$0000000000201" << true << 0x201u;
    QTest::newRow("empty") << "" << false << 0u;
    QTest::newRow("dollar alone") << "$" << false << 0u;
    QTest::newRow("no dollar") << "201" << false << 0u;
    QTest::newRow("other character") << "$20g" << false << 0u;
    QTest::newRow("blank") << "$ 1" << false << 0u;
    QTest::newRow("beyond 32 bits") << "$100000000" << false << 0u;
  }
  void flagTextParsing() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(uint, value);
    const auto v = ParsePrivFlags(text.toStdString());
    QCOMPARE(v.has_value(), ok);
    if (ok) QCOMPARE(*v, value);
  }

  void flagTextWriting() {
    QCOMPARE(FormatPrivFlags(2), std::string("$00002"));
    QCOMPARE(FormatPrivFlags(27), std::string("$0001B"));
    QCOMPARE(FormatPrivFlags(0xABCDEF), std::string("$ABCDEF"));
    QCOMPARE(FormatPrivFlags(0xFFFFFFFFu), std::string("$FFFFFFFF"));
  }

  void toggleWritesFlagText_data() {
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("expected");
    QTest::newRow("GM Privs on $0") << "gmuser"
                                    << "cbGMPrivs"
                                    << "$00002";
    QTest::newRow("lower-case digits") << "lower"
                                       << "cbAdminPriv"
                                       << "$0001B";
    QTest::newRow("bit 0x8000 kept") << "high"
                                     << "cbHearAll"
                                     << "$08010";
    QTest::newRow("seven digits kept") << "seven"
                                       << "cbHearGMPages"
                                       << "$123456F";
    QTest::newRow("untick") << "lower"
                            << "cbGMPrivs"
                            << "$00018";
  }
  void toggleWritesFlagText() {
    QFETCH(QString, account);
    QFETCH(QString, toggle);
    QFETCH(QString, expected);
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go(account.toLatin1().constData());
    e.Click(ToggleOf(toggle.toLatin1().constData()));
    QCOMPARE(e.Priv(), expected);
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags (%1)").arg(expected));
    QCOMPARE(e.Status(), StatusChanged);
    QCOMPARE(e.State(), QStringLiteral("Status: not saved"));
  }

  void gmPrivsOnAndOff() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("gmuser");
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ($0)"));
    const int gm = ToggleOf("cbGMPrivs");
    e.Click(gm);
    QVERIFY(e.Box(gm)->isChecked());
    QCOMPARE(e.Priv(), QStringLiteral("$00002"));
    e.Click(gm);
    QVERIFY(!e.Box(gm)->isChecked());
    QCOMPARE(e.Priv(), QStringLiteral("$00000"));
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ($00000)"));
    // The action stands for the same toggle.
    e.panel.ToggleAction(gm)->trigger();
    QVERIFY(e.Box(gm)->isChecked());
    QCOMPARE(e.Priv(), QStringLiteral("$00002"));
  }

  void rowsShowTheirToggles() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("lower");  // $1a: Admin, GM, Hear GM Pages, Hear All
    for (int i = 0; i < 15; ++i) {
      if (i == EditorPanel::BlockedToggle || i == EditorPanel::JailedToggle) continue;
      QCOMPARE(e.Box(i)->isChecked(),
               (0x1Au & EditorPanel::kToggles[static_cast<size_t>(i)].bit) != 0);
    }
    // Blocked follows dbblock, not the bit; moving between rows with equal flag texts
    // updates it.
    e.Go("blockedNoBit");
    QVERIFY(e.Box(EditorPanel::BlockedToggle)->isChecked());
    e.Go("gaps");
    QVERIFY(!e.Box(EditorPanel::BlockedToggle)->isChecked());
    e.Go("blockedNoBit");
    e.Click(EditorPanel::BlockedToggle);
    e.Click(EditorPanel::BlockedToggle);
    QCOMPARE(e.Priv(), QStringLiteral("$02000"));
    QCOMPARE(e.table.IntOr0(e.table.Current(), dbblock), 1);
    e.Go("jailed");
    QVERIFY(e.Box(EditorPanel::JailedToggle)->isChecked());
    e.Go("gmuser");
    QVERIFY(!e.Box(EditorPanel::JailedToggle)->isChecked());
  }

  void invalidFlagTextChangesNothing() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    fx.notices.clear();
    e.Go("badflags");
    QCOMPARE(fx.notices.size(), 1);  // reported while showing the row
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ($xyz)"));
    const bool wasSaved = fx.Form().ChangesSaved();
    e.Click(ToggleOf("cbGMPrivs"));
    QCOMPARE(fx.notices.size(), 2);
    QVERIFY(fx.notices.last().contains("$xyz"));
    QCOMPARE(e.Priv(), QStringLiteral("$xyz"));
    QCOMPARE(e.Status(), StatusStored);
    QCOMPARE(fx.Form().ChangesSaved(), wasSaved);
  }

  void blockedUnderBlockedEmptiesTheView() {
    MainWindowFixture fx(
        AccountFile({"[a]", "PLEVEL=1", "[b]", "PLEVEL=1", "BLOCK=1", "PRIV=2000", "CHARUID=0x5"}));
    fx.Show();
    Editor e(fx.Form());
    QTabBar* tabs = fx.Form().Tabs()->FilterTabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
    QCOMPARE(fx.Form().Model().rowCount(), 1);
    QCOMPARE(e.Entry(), QStringLiteral("Entry: 1"));
    e.Click(EditorPanel::BlockedToggle);
    QCOMPARE(fx.Form().Model().rowCount(), 0);
    QCOMPARE(e.table.Current(), kNoRow);
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ()"));
    QCOMPARE(e.Entry(), QStringLiteral("Entry: 1"));  // Blocked does not refresh it
    QVERIFY(!e.Edit("DBEdit2")->isEnabled());
    QVERIFY(!e.Box(0)->isEnabled());
    QVERIFY(!e.panel.ToggleAction(0)->isEnabled());
    QVERIFY(!fx.Form().findChild<QComboBox*>("DBComboBox1")->isEnabled());
    QVERIFY(!fx.Form().edDeleteAccount->isEnabled());
    // The row itself was stored unblocked.
    fx.Form().FilterReset();
    QVERIFY(e.table.Locate("b"));
    QCOMPARE(e.Priv(), QStringLiteral("$00000"));
    QCOMPARE(e.table.IntOr0(e.table.Current(), dbblock), 0);
    QVERIFY(e.Edit("DBEdit2")->isEnabled());
  }

  void jailedUnderJailedKeepsTheNewFlagText() {
    MainWindowFixture fx(
        AccountFile({"[a]", "PLEVEL=1", "[j]", "PLEVEL=1", "JAIL=1", "PRIV=0801"}));
    fx.Show();
    Editor e(fx.Form());
    QTabBar* tabs = fx.Form().Tabs()->FilterTabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(5).center());
    e.Click(EditorPanel::JailedToggle);
    QCOMPARE(fx.Form().Model().rowCount(), 0);
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ($00001)"));
  }

  void levelChangeUnderStaff() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    QTabBar* tabs = fx.Form().Tabs()->FilterTabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    QCOMPARE(e.Entry(), QStringLiteral("Entry: 3"));  // gmuser, dev, seer
    QCOMPARE(Str(e.table.Text(dbaccount)), QStringLiteral("gmuser"));
    auto* level = fx.Form().findChild<QComboBox*>("DBComboBox1");
    QCOMPARE(level->currentText(), QStringLiteral("GM"));
    // Picking with the keyboard is the operator's choice too.
    level->setFocus();
    QTest::keyClick(level, Qt::Key_Up);  // GM -> Seer
    QCOMPARE(fx.Form().Model().rowCount(), 3);
    QCOMPARE(Str(e.table.Text(dbplevel)), QStringLiteral("Seer"));
    QCOMPARE(e.Status(), StatusChanged);
    emit level->activated(1);  // Player
    QCOMPARE(fx.Form().Model().rowCount(), 2);
    QCOMPARE(e.Entry(), QStringLiteral("Entry: 2"));
    QCOMPARE(Str(e.table.Text(dbaccount)), QStringLiteral("dev"));  // the next row is current
    fx.Form().FilterReset();
    QVERIFY(e.table.Locate("gmuser"));
    QCOMPARE(Str(e.table.Text(dbplevel)), QStringLiteral("Player"));
    QCOMPARE(e.Status(), StatusChanged);
  }

  void statusTransitions() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    AccountTable& t = e.table;
    auto makeNew = [&](const char* name) {
      e.Go(name);
      t.Edit();
      t.SetInt(dbstatus, StatusNew);
      t.Post();
    };
    // Texts and lists leave a new row new.
    makeNew("gaps");
    QTest::keyClicks(e.Edit("DBEdit4"), "Chat");
    QCOMPARE(Str(t.Text(dbchatname)), QStringLiteral("Chat"));
    QCOMPARE(e.Status(), StatusNew);
    emit fx.Form().findChild<QComboBox*>("DBComboBox2")->activated(3);
    QCOMPARE(Str(t.Text(dblanguage)), QStringLiteral("ESP"));
    QCOMPARE(e.Status(), StatusNew);
    emit fx.Form().findChild<QComboBox*>("DBComboBox1")->activated(4);
    QCOMPARE(e.Status(), StatusNew);
    // Any toggle makes it changed.
    e.Click(ToggleOf("cbT2A"));
    QCOMPARE(e.Status(), StatusChanged);
    // A stored row becomes changed with a language pick.
    e.Go("seer");
    QCOMPARE(e.Status(), StatusStored);
    emit fx.Form().findChild<QComboBox*>("DBComboBox2")->activated(0);
    QCOMPARE(e.Status(), StatusChanged);
  }

  // Keys, a context menu closed with Escape and a focus change that leave the value as it
  // was must not send the row to the server at the next Save.
  void keysThatChangeNothingLeaveTheRowSaved_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Left") << int(Qt::Key_Left);
    QTest::newRow("End") << int(Qt::Key_End);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Shift") << int(Qt::Key_Shift);
    QTest::newRow("Tab") << int(Qt::Key_Tab);
  }
  void keysThatChangeNothingLeaveTheRowSaved() {
    QFETCH(int, key);
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("gmuser");
    QLineEdit* pw = e.Edit("DBEdit2");
    QCOMPARE(pw->text(), QStringLiteral("secret"));
    pw->setFocus();
    QTest::keyClick(pw, Qt::Key(key));
    QCOMPARE(Str(e.table.Text(dbpasswort)), QStringLiteral("secret"));
    QCOMPARE(e.Status(), StatusStored);
    QCOMPARE(e.State(), QStringLiteral("Status: saved"));
  }

  void escapeOutOfTheContextMenuLeavesTheRowSaved() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("gmuser");
    QLineEdit* mail = e.Edit("DBEdit3");
    mail->setFocus();
    // The menu's own Escape closes it; the release then reaches the field.
    QTimer::singleShot(0, mail, [] {
      if (QWidget* menu = QApplication::activePopupWidget()) QTest::keyClick(menu, Qt::Key_Escape);
    });
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, mail->rect().center(),
                                mail->mapToGlobal(mail->rect().center()));
    QApplication::sendEvent(mail, &menuEvent);
    QTest::keyRelease(mail, Qt::Key_Escape);
    QCOMPARE(e.Status(), StatusStored);
    QCOMPARE(e.State(), QStringLiteral("Status: saved"));
    // A real edit still marks it.
    QTest::keyClicks(mail, "x");
    QCOMPARE(e.Status(), StatusChanged);
  }

  void typingIsStoredKeyByKey() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("seer");
    QLineEdit* mail = e.Edit("DBEdit3");
    QTest::keyClicks(mail, "s@x");
    QCOMPARE(Str(e.table.Text(dbemail)), QStringLiteral("s@x"));
    QTest::keyClick(mail, Qt::Key_Backspace);
    QCOMPARE(Str(e.table.Text(dbemail)), QStringLiteral("s@"));
    QCOMPARE(e.Status(), StatusChanged);
    QCOMPARE(mail->maxLength(), 100);
    // The field shows each row; the comment field takes the text too.
    e.Go("gmuser");
    QCOMPARE(mail->text(), QStringLiteral("gm@example.org"));
    QTest::keyClicks(e.Edit("DBEdit6"), "note");
    QCOMPARE(Str(e.table.Text(dbcommend)), QStringLiteral("note"));
  }

  void passwordButtonStoresLikeTyping() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("seer");
    QTest::mouseClick(e.panel.GeneratePasswordButton(), Qt::LeftButton);
    const QString pw = Str(e.table.Text(dbpasswort));
    QCOMPARE(pw.size(), 6);
    QCOMPARE(e.Edit("DBEdit2")->text(), pw);
    QCOMPARE(e.Status(), StatusChanged);
  }

  void pasteFromTheMenuIsStored() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("seer");
    QLineEdit* chat = e.Edit("DBEdit4");
    QApplication::clipboard()->setText(QStringLiteral("Pasted"));
    auto* popup = fx.Form().findChild<EditPopup*>();
    QVERIFY(popup);
    popup->PopupFor(chat, chat->mapToGlobal(QPoint(2, 2)));
    popup->EditPaste()->trigger();
    popup->close();
    QCOMPARE(chat->text(), QStringLiteral("Pasted"));
    QCOMPARE(Str(e.table.Text(dbchatname)), QStringLiteral("Pasted"));
    QCOMPARE(e.Status(), StatusChanged);  // no key release, still marked for saving
  }

  void unstorableTextIsRefused_data() {
    QTest::addColumn<QString>("pasted");
    QTest::newRow("line feed") << QStringLiteral("x\nPLEVEL=7");
    QTest::newRow("carriage return") << QStringLiteral("x\rPLEVEL=7");
    QTest::newRow("NUL") << QStringLiteral("x") + QChar(0) + QStringLiteral("y");
    QTest::newRow("not in Windows-1252") << QString::fromUtf8("p\u0394ss");
  }
  void unstorableTextIsRefused() {
    QFETCH(QString, pasted);
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("gmuser");
    QLineEdit* pw = e.Edit("DBEdit2");
    fx.notices.clear();
    QApplication::clipboard()->setText(pasted);
    auto* popup = fx.Form().findChild<EditPopup*>();
    popup->PopupFor(pw, pw->mapToGlobal(QPoint(2, 2)));
    popup->EditSelectAll()->trigger();
    popup->EditPaste()->trigger();
    popup->close();
    if (pw->text() == QStringLiteral("secret") && fx.notices.isEmpty())
      QSKIP("the line edit dropped the characters itself");
    QCOMPARE(fx.notices.size(), 1);
    QCOMPARE(Str(e.table.Text(dbpasswort)), QStringLiteral("secret"));
    QCOMPARE(pw->text(), QStringLiteral("secret"));
    QCOMPARE(e.Status(), StatusStored);
  }

  void typedCharacterOutsideTheCodePage() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("seer");
    QLineEdit* chat = e.Edit("DBEdit4");
    TypeText(chat, QString::fromUtf8("\u20AC\u00E9"));  // both in Windows-1252
    QCOMPARE(e.table.Text(dbchatname), std::string_view("\x80\xE9"));
    fx.notices.clear();
    TypeText(chat, QString::fromUtf8("\u4E2D"));
    QCOMPARE(fx.notices.size(), 1);
    QVERIFY(fx.notices.first().contains(QString::fromUtf8("\u4E2D")));
    QCOMPARE(chat->text(), QString::fromUtf8("\u20AC\u00E9"));
    QCOMPARE(e.table.Text(dbchatname), std::string_view("\x80\xE9"));
  }

  void listsAndDisplays() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    auto* list = e.panel.CharacterList();
    auto* count = fx.Form().findChild<QLabel*>("Label21");
    e.Go("gaps");
    e.table.Edit();
    e.table.SetText(dbcharuid2, "0x22");
    e.table.SetText(dbcharuid5, "0x55");
    e.table.Post();
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("0x22"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("0x55"));
    QCOMPARE(count->text(), QStringLiteral("2"));
    // "Show Char Infos" only with a selected uid; it hands on the uid and all uids.
    QVERIFY(!e.panel.edShowCharInfoForm()->isEnabled());
    list->setCurrentRow(1);
    QVERIFY(e.panel.edShowCharInfoForm()->isEnabled());
    QSignalSpy spy(&e.panel, &EditorPanel::ShowCharInfoRequested);
    e.panel.edShowCharInfoForm()->trigger();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("0x55"));
    QCOMPARE(spy.at(0).at(1).toStringList(), (QStringList{"0x22", "0x55"}));
    QCOMPARE(spy.at(0).at(2).toInt(), 1);
    // A double-click on a uid asks for the same window.
    const QPoint first = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("0x22"));
    // Levels and languages outside the lists show an empty selection.
    e.Go("dev");
    QCOMPARE(fx.Form().findChild<QComboBox*>("DBComboBox1")->currentIndex(), -1);
    QCOMPARE(fx.Form().findChild<QComboBox*>("DBComboBox2")->currentText(), QStringLiteral("DEU"));
    QCOMPARE(fx.Form().findChild<QLabel*>("lbTotalConnectTime")->text(), QStringLiteral("77"));
    QCOMPARE(fx.Form().findChild<QLabel*>("lbLastIP")->text(), QStringLiteral("10.0.0.9"));
    QCOMPARE(list->count(), 0);
    QCOMPARE(count->text(), QStringLiteral("0"));
  }

  void emptyTableDisablesThePanel() {
    MainWindowFixture fx(QByteArray{});
    fx.Show();
    MainWindow& f = fx.Form();
    Editor e(f);
    for (const char* name : {"DBEdit2", "DBEdit3", "DBEdit4", "DBEdit6"})
      QVERIFY2(!e.Edit(name)->isEnabled(), name);
    for (const char* name : {"DBComboBox1", "DBComboBox2"})
      QVERIFY2(!f.findChild<QComboBox*>(name)->isEnabled(), name);
    for (const char* name : {"Label2", "Label3", "Label4", "Label5", "Label6", "Label7"})
      QVERIFY2(!f.findChild<QLabel*>(name)->isEnabled(), name);
    for (int i = 0; i < 15; ++i) {
      QVERIFY(!e.Box(i)->isEnabled());
      QVERIFY(!e.panel.ToggleAction(i)->isEnabled());
    }
    QVERIFY(!f.edDeleteAccount->isEnabled());
    QVERIFY(e.panel.CharacterList()->isEnabled());
    QCOMPARE(f.findChild<QLabel*>("Label21")->text(), QStringLiteral("n/a"));
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ($0)"));
    // An account appears: everything comes alive.
    f.Table().Append();
    f.Table().SetText(dbaccount, "new");
    f.Table().SetText(dbpriv, "$0");
    f.Table().Post();
    QVERIFY(e.Edit("DBEdit2")->isEnabled());
    QVERIFY(e.Box(0)->isEnabled());
    QVERIFY(f.edDeleteAccount->isEnabled());
  }

  void focusOrderAndBalloon() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    MainWindow& f = fx.Form();
    Editor e(f);
    QWidget* w = e.Box(14);
    QCOMPARE(w->nextInFocusChain(), e.panel.CharacterList());
    QStringList after;
    for (QWidget* n = e.panel.CharacterList()->nextInFocusChain(); after.size() < 5;
         n = n->nextInFocusChain())
      if (n->focusPolicy() & Qt::TabFocus) after << n->objectName();
    QCOMPARE(after, (QStringList{"DBEdit2", "DBEdit3", "DBComboBox1", "DBEdit4", "DBComboBox2"}));
    QVERIFY(!(e.Edit("DBEdit6")->focusPolicy() & Qt::TabFocus));
    QCOMPARE(e.panel.CharacterList()->toolTip(),
             QStringLiteral("Right Click to get more informations about character"));
    auto* balloon = f.findChild<QWidget*>("BalloonHint");
    QVERIFY(balloon);
    QCOMPARE(balloon->findChild<QLabel*>("BalloonHeader")->text(), QStringLiteral("Tip"));
    QCOMPARE(balloon->findChild<QLabel*>("BalloonText")->text(),
             e.panel.CharacterList()->toolTip());
    QVERIFY(balloon->findChild<QWidget*>("BalloonClose"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.findChild<QWidget*>("BalloonHint"), 7000);
  }

  void languageSwitchKeepsTheFlagsCaption() {
    MainWindowFixture fx(Accounts());
    fx.Show();
    Editor e(fx.Form());
    e.Go("lower");
    QCOMPARE(e.Caption(), QStringLiteral("Priv Flags ($1a)"));
    UiText::Instance().SetText(u"f1_Groupbox_3", QStringLiteral("Rechte (%s)"));
    fx.Form().ApplyUiText();
    QCOMPARE(e.Caption(), QStringLiteral("Rechte ($1a)"));
    e.Go("seer");
    QCOMPARE(e.Caption(), QStringLiteral("Rechte ($0)"));
    UiText::Instance().SetText(u"f1_Groupbox_3", UiText::DefaultText(u"f1_Groupbox_3"));
  }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
