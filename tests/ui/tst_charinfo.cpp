#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/MainWindowFixture.h"
#include "ui/chars/CharacterWindow.h"
#include "ui/editor/EditorPanel.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"

using namespace kov;

namespace {

enum Label {
  kAccount,
  kCreate,
  kName,
  kTitle,
  kPosition,
  kDeaths,
  kKills,
  kFood,
  kHome,
  kSkillClass,
  kStr,
  kDex,
  kInt,
  kHits,
  kStam,
  kMana
};

// Two characters of one account and a third whose serial line merely begins like the first.
const char kSaveFile[] =
    "[WORLDCHAR c_man]\r\nSERIAL=0x123\r\nNAME=Impostor\r\nMAGERY=1\r\n"
    "[WORLDCHAR c_man]\r\nserial=0X12\r\nACCOUNT=bob\r\nname=Bob\r\nTITLE=the <b>Bold</b>\r\n"
    "P=1496,1628,10\r\nSTR=50\r\nAlchemy=500\r\nCAMPING=750\r\nOSTR=45\r\nALCHEMY=600\r\n"
    "[WORLDCHAR c_woman]\r\nSERIAL=0x13\r\nNAME=Alice\r\nbowcraft=300\r\nHITS=70\r\n"
    "[EOF]\r\n";

std::string SaveDir(const QTemporaryDir& dir) {
  return QDir::toNativeSeparators(dir.path()).toStdString() + QDir::separator().toLatin1();
}

void WriteSaveFile(const QTemporaryDir& dir, const QByteArray& bytes) {
  QFile f(dir.filePath("vornexchars.scp"));
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class TestCharInfo : public QObject {
  Q_OBJECT

 private:
  QGroupBox* Group(CharacterWindow& w, const char* name) { return w.findChild<QGroupBox*>(name); }
  QTableWidget* Grid(CharacterWindow& w) { return w.findChild<QTableWidget*>("SkillList"); }
  QComboBox* Combo(CharacterWindow& w) { return w.findChild<QComboBox*>("ComboBox1"); }
  QStringList Rows(CharacterWindow& w) {
    QStringList rows;
    for (int r = 0; r < Grid(w)->rowCount(); ++r) rows << w.SkillRow(r).join('=');
    return rows;
  }
  // Runs check while the window is shown modally, then closes it with "Cancel".
  void WhileShown(CharacterWindow& w, const std::function<void()>& open,
                  const std::function<void()>& check) {
    bool checked = false;
    QTimer::singleShot(0, &w, [&] {
      // Closes the window even when a check fails, so a failure cannot hang the test.
      struct Cancel {
        CharacterWindow& w;
        ~Cancel() { QTest::mouseClick(w.findChild<QPushButton*>("btnCancel"), Qt::LeftButton); }
      } cancel{w};
      checked = true;
      QVERIFY(w.isVisible());
      QVERIFY(w.isModal());
      check();
    });
    open();
    QVERIFY(checked);
    QVERIFY(!w.isVisible());
  }

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void init() {
    for (const QString& key : UiText::Instance().Keys()) {
      UiText::Instance().SetText(key, UiText::DefaultText(key));
    }
  }

  void freshWindow() {
    CharacterWindow w;
    QCOMPARE(w.windowTitle(), QString("Charakter Info"));
    QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info"));
    QCOMPARE(Group(w, "GroupBox2")->title(), QString("General"));
    QCOMPARE(Group(w, "GroupBox3")->title(), QString("Skills"));
    QCOMPARE(w.findChild<QPushButton*>("btnCancel")->text(), QString("Cancel"));
    QCOMPARE(w.findChild<QLabel*>("LabelMoreUID")->text(),
             QString("Another chars of this account:"));
    QVERIFY(!Combo(w)->isEditable());
    QCOMPARE(w.findChild<QLabel*>("lblSkillClass")->text(), QString("SkillClass:"));
    QCOMPARE(w.findChild<QLabel*>("lblMana")->text(), QString("Mana:"));
    for (std::size_t i = 0; i < kCharacterGeneralCount; ++i) QVERIFY(w.GeneralText(i).isEmpty());
    QTableWidget* grid = Grid(w);
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("Skill Name"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString("Wert"));
    QCOMPARE(grid->columnWidth(0), 150);
    QCOMPARE(grid->columnWidth(1), 77);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  }

  void opensModallyAndSwitchesWithTheDropDown() {
    QTemporaryDir dir;
    WriteSaveFile(dir, QByteArray(kSaveFile, sizeof kSaveFile - 1));
    CharacterWindow w;
    WhileShown(
        w,
        [&] {
          w.ShowCharacter({"0x12", "0x13"}, 0, SaveDir(dir));
        },
        [&] {
          QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x12)"));
          QCOMPARE(Combo(w)->currentText(), QString("0x12"));
          QCOMPARE(Combo(w)->count(), 2);
          QCOMPARE(w.GeneralText(kName), QString("Bob"));  // not 0x123's Impostor
          QCOMPARE(w.GeneralText(kAccount), QString("bob"));
          QCOMPARE(w.GeneralText(kTitle), QString("the <b>Bold</b>"));
          QCOMPARE(w.findChild<QLabel*>("valTitle")->textFormat(), Qt::PlainText);
          QCOMPARE(w.GeneralText(kPosition), QString("1496,1628,10"));
          QCOMPARE(w.GeneralText(kStr), QString("45"));
          QCOMPARE(Rows(w), QStringList({"Alchemy=600", "Camping=750"}));

          // The operator picks the second character: read without closing.
          Combo(w)->setFocus();
          QTest::keyClick(Combo(w), Qt::Key_Down);
          QCOMPARE(Combo(w)->currentText(), QString("0x13"));
          QVERIFY(w.isVisible());
          QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x13)"));
          QCOMPARE(w.GeneralText(kName), QString("Alice"));
          QCOMPARE(w.GeneralText(kHits), QString("70"));
          // Labels the second character has no line for are blank, not Bob's.
          QCOMPARE(w.GeneralText(kAccount), QString());
          QCOMPARE(w.GeneralText(kStr), QString());
          QCOMPARE(Rows(w), QStringList({"Bowcraft=300"}));
        });

    // Opening again replaces the choices and reads the selected character anew.
    WhileShown(
        w,
        [&] {
          w.ShowCharacter(QString("0x12"), {"0x13", "0x12"}, SaveDir(dir));
        },
        [&] {
          QCOMPARE(Combo(w)->currentText(), QString("0x12"));
          QCOMPARE(w.GeneralText(kName), QString("Bob"));
          QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x12)"));
        });
  }

  void opensFromTheCharacterListPopup() {
    kovtest::MainWindowFixture fx(kovtest::AccountFile(
        {"[bob]", "PLEVEL=1", "CHARUID=0x12", "CHARUID=0x13", "[eve]", "PLEVEL=1"}));
    fx.Show();
    QFile save(fx.accountFolder + "/vornexchars.scp");  // the fixture's SAVEDIR
    QVERIFY(save.open(QIODevice::WriteOnly));
    save.write(kSaveFile, sizeof kSaveFile - 1);
    save.close();
    CharacterWindow w(&fx.Form());
    EditorPanel* panel = fx.Form().Editor();
    w.ConnectCharacterList(*panel, [&] { return fx.Form().Settings().SAVEDIR; });

    QListWidget* list = panel->CharacterList();
    QCOMPARE(list->count(), 2);
    const QPoint second = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    QCOMPARE(list->currentRow(), 1);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, second,
                                 list->viewport()->mapToGlobal(second));
    QApplication::sendEvent(list->viewport(), &rightClick);
    auto* menu = panel->findChild<QMenu*>("Popup_ShowCharInfo");
    QTRY_VERIFY(menu->isVisible());
    QAction* show = panel->edShowCharInfoForm();
    QVERIFY(show->isEnabled());

    WhileShown(
        w,
        [&] { QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(show).center()); },
        [&] {
          QCOMPARE(Combo(w)->count(), 2);
          QCOMPARE(Combo(w)->currentText(), QString("0x13"));
          QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x13)"));
          QCOMPARE(w.GeneralText(kName), QString("Alice"));
          QCOMPARE(Rows(w), QStringList({"Bowcraft=300"}));

          Combo(w)->setFocus();
          QTest::keyClick(Combo(w), Qt::Key_Up);
          QCOMPARE(Combo(w)->currentText(), QString("0x12"));
          QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x12)"));
          QCOMPARE(w.GeneralText(kName), QString("Bob"));
          QCOMPARE(Rows(w), QStringList({"Alchemy=600", "Camping=750"}));
        });
  }

  void choicesAloneReadNothing() {
    QTemporaryDir dir;
    WriteSaveFile(dir, QByteArray(kSaveFile, sizeof kSaveFile - 1));
    CharacterWindow w;
    w.SetSaveDir(SaveDir(dir));
    w.SetCharacterChoices({"0x12", "0x13"}, 1);
    QCOMPARE(Combo(w)->currentText(), QString("0x13"));
    QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info"));
    QCOMPARE(w.GeneralText(kName), QString());
  }

  void unknownUidShowsEmptyRecordUnderItsCaption() {
    QTemporaryDir dir;
    WriteSaveFile(dir, QByteArray(kSaveFile, sizeof kSaveFile - 1));
    CharacterWindow w;
    w.SetSaveDir(SaveDir(dir));
    w.ReadCharacterFile("0x12");
    QCOMPARE(w.GeneralText(kName), QString("Bob"));
    w.ReadCharacterFile("0x1");  // begins two serial lines, is neither
    QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x1)"));
    for (std::size_t i = 0; i < kCharacterGeneralCount; ++i) QVERIFY(w.GeneralText(i).isEmpty());
    QCOMPARE(Grid(w)->rowCount(), 0);
  }

  void missingSaveFileLeavesTheWindowAsItWas() {
    QTemporaryDir dir;
    WriteSaveFile(dir, QByteArray(kSaveFile, sizeof kSaveFile - 1));
    QStringList notices;
    SetNoticeHandler([&](NoticeKind, const QString& text) { notices << text; });
    CharacterWindow w;
    w.SetSaveDir(SaveDir(dir));
    w.ReadCharacterFile("0x12");
    QVERIFY(QFile::remove(dir.filePath("vornexchars.scp")));
    w.ReadCharacterFile("0x13");
    QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x12)"));
    QCOMPARE(w.GeneralText(kName), QString("Bob"));
    QCOMPARE(Rows(w), QStringList({"Alchemy=600", "Camping=750"}));

    CharacterWindow fresh;
    fresh.SetSaveDir(SaveDir(dir));
    fresh.ReadCharacterFile("0x12");
    QCOMPARE(Group(fresh, "GroupBox1")->title(), QString("Char Info"));
    QCOMPARE(Grid(fresh)->rowCount(), 1);
    QVERIFY(notices.isEmpty());
    SetNoticeHandler(nullptr);
  }

#ifdef Q_OS_LINUX
  void unreadableSaveFileIsReported() {
    QTemporaryDir dir;
    WriteSaveFile(dir, QByteArray(kSaveFile, sizeof kSaveFile - 1));
    QStringList notices;
    SetNoticeHandler([&](NoticeKind, const QString& text) { notices << text; });
    CharacterWindow w;
    w.SetSaveDir(SaveDir(dir));
    w.ReadCharacterFile("0x12");
    // Reading the start of a process's memory file fails with an I/O error.
    QVERIFY(QFile::remove(dir.filePath("vornexchars.scp")));
    QVERIFY(QFile::link("/proc/self/mem", dir.filePath("vornexchars.scp")));
    w.ReadCharacterFile("0x13");
    SetNoticeHandler(nullptr);
    QCOMPARE(notices.size(), 1);
    QVERIFY(notices.first().contains("vornexchars.scp"));
    QCOMPARE(Group(w, "GroupBox1")->title(), QString("Char Info (0x13)"));
    QCOMPARE(w.GeneralText(kName), QString());  // nothing of Bob's is left to mislead
    QCOMPARE(Grid(w)->rowCount(), 0);
  }
#endif

  void windows1252TextIsShown() {
    QTemporaryDir dir;
    WriteSaveFile(dir, QByteArray("[C]\r\nSERIAL=0x5\r\nNAME=J\xF6rg \x80\r\n[EOF]\r\n"));
    CharacterWindow w;
    w.SetSaveDir(SaveDir(dir));
    w.ReadCharacterFile("0x5");
    QCOMPARE(w.GeneralText(kName), QString::fromUtf8("J\xC3\xB6rg \xE2\x82\xAC"));
  }

  void languageSwitchRetitles() {
    CharacterWindow w;
    UiText::Instance().SetText(u"CharInfo_GroupBox1", "Charakter");
    UiText::Instance().SetText(u"CharInfo_Cancel", "Abbrechen");
    UiText::Instance().SetText(u"CharInfo_MoreUID", "Weitere Charaktere:");
    w.ApplyUiText();
    QCOMPARE(Group(w, "GroupBox1")->title(), QString("Charakter"));
    QCOMPARE(w.findChild<QPushButton*>("btnCancel")->text(), QString("Abbrechen"));
    QCOMPARE(w.findChild<QLabel*>("LabelMoreUID")->text(), QString("Weitere Charaktere:"));
    QCOMPARE(w.windowTitle(), QString("Charakter Info"));
  }
};

QTEST_MAIN(TestCharInfo)
#include "tst_charinfo.moc"
