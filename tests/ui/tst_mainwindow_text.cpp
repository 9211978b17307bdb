#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include "support/MainWindowFixture.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/LanguageFile.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"

using namespace kov;

namespace {

// A program folder holding the shipped language files and a kov.ini with the given settings
// lines; the account folder is empty.
struct Folder {
  explicit Folder(const QByteArray& settings, bool withLanguageFiles = true) {
    program = dir.filePath("prog");
    QDir().mkpath(program);
    QDir().mkpath(dir.filePath("accounts"));
    if (withLanguageFiles) {
      for (const char* name : {"english.xml", "german.xml"})
        QFile::copy(QStringLiteral(KOV_SOURCE_DIR "/lang/") + name, program + "/" + name);
    }
    QFile ini(program + "/kov.ini");
    if (!ini.open(QIODevice::WriteOnly)) qFatal("cannot write kov.ini");
    ini.write(
        "[WINDOW]\r\nLEFT=0\r\nTOP=0\r\nWIDTH=800\r\nHEIGHT=600\r\n[SETTINGS]\r\nACCOUNTDIR=" +
        QDir::toNativeSeparators(dir.filePath("accounts")).toLocal8Bit() + "\r\n" + settings);
  }
  QByteArray Ini() const {
    QFile f(program + "/kov.ini");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir;
  QString program;
};

QString StatusText(MainWindow& form, const char* name) {
  auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
  return label ? label->text() : QString();
}

QStringList MenuTitles(MainWindow& form) {
  return {form.MenuFile()->title(), form.MenuEdit()->title(), form.MenuView()->title(),
          form.MenuHelp()->title()};
}

}  // namespace

class TestMainWindowText : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    UiText::Instance().RegisterUiTextKeys();
    for (const QString& key : UiText::Instance().Keys())
      UiText::Instance().SetText(key, UiText::DefaultText(key));
    MessageDialogSeam::Clear();
    SetNoticeHandler([](NoticeKind, const QString&) {});
  }
  void cleanup() { SetNoticeHandler({}); }

  void englishFile() {
    Folder folder("LANG=0\r\n");
    MainWindow form(folder.program);
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
    QCOMPARE(form.edNewAccount->text(), QStringLiteral("New Account"));
    QCOMPARE(form.edReloadAcc->text(), QStringLiteral("Reload Accounts"));
    QCOMPARE(form.mViewLog->text(), QStringLiteral("Show Logfile"));
    QCOMPARE(form.edExportExcel->text(), QStringLiteral("Exporting to MS Excel"));
    QCOMPARE(MenuTitles(form), (QStringList{"File", "Edit", "View", "Help"}));
    QCOMPARE(StatusText(form, "EntryPanel"), QStringLiteral("Entry: 0"));
    QCOMPARE(StatusText(form, "StatePanel"), QStringLiteral("Status: saved"));
    auto* popup = form.findChild<EditPopup*>("Popup_Log");
    QVERIFY(popup);
    QCOMPARE(popup->EditCut()->text(), QStringLiteral("Cut"));
    QCOMPARE(popup->EditSelectAll()->text(), QStringLiteral("Select All"));
    form.Settings().ChangesSaved = true;
  }

  void germanFile() {
    Folder folder("LANG=1\r\n");
    MainWindow form(folder.program);
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
    QCOMPARE(form.edNewAccount->text(), QStringLiteral("Neues Konto"));
    QCOMPARE(form.edDeleteAccount->text(), QString::fromUtf8("Konto löschen"));
    QCOMPARE(form.edClose->text(), QStringLiteral("Beenden"));
    QCOMPARE(form.edSettingsForm->text(), QStringLiteral("Einstellungen"));
    QCOMPARE(form.mViewLog->text(), QStringLiteral("Protokoll anzeigen"));
    QCOMPARE(MenuTitles(form), (QStringList{"Datei", "Bearbeiten", "Ansicht", "Hilfe"}));
    QCOMPARE(StatusText(form, "EntryPanel"), QString::fromUtf8("Einträge: 0"));
    QCOMPARE(StatusText(form, "StatePanel"), QStringLiteral("Status: gespeichert"));
    auto* popup = form.findChild<EditPopup*>("Popup_Log");
    QVERIFY(popup);
    QCOMPARE(popup->EditCut()->text(), QStringLiteral("Ausschneiden"));
    QCOMPARE(form.Log()->TitleBar()->objectName(), QStringLiteral("Splitter1"));
    form.Settings().ChangesSaved = true;
  }

  // Switching the language at run time: the status bar keeps its count of the rows shown.
  void languageSwitchKeepsTheEntryCount() {
    kovtest::MainWindowFixture fixture(kovtest::AccountFile(
        {"[anna]", "PASSWORD=a", "[bert]", "PASSWORD=b", "[carl]", "PASSWORD=c", "[EOF]"}));
    MainWindow& form = fixture.Form();
    QCOMPARE(StatusText(form, "EntryPanel"), QStringLiteral("Entry: 3"));
    QCOMPARE(LoadLanguageFile(fixture.programFolder, 1, {&form}), LanguageLoad::Loaded);
    form.ApplyUiText();  // as the preferences' language box does
    QCOMPARE(StatusText(form, "EntryPanel"), QString::fromUtf8("Einträge: 3"));
    QCOMPARE(form.MenuFile()->title(), QStringLiteral("Datei"));
    form.Settings().ChangesSaved = true;
  }

  // Started and closed without a move, the window leaves its bounds as they were; closed
  // maximised, it keeps the maximised bounds; a log height the pane could not take is kept.
  void boundsRoundTrip() {
    Folder folder("LANG=0\r\nLOGH=5000\r\n");
    {
      QFile ini(folder.program + "/kov.ini");
      QVERIFY(ini.open(QIODevice::ReadWrite));
      QByteArray bytes = ini.readAll();
      bytes.replace("LEFT=0\r\nTOP=0", "LEFT=40\r\nTOP=30");
      ini.resize(0);
      ini.write(bytes);
    }
    for (int run = 0; run < 2; ++run) {
      MainWindow form(folder.program);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.Settings().ChangesSaved = true;
      QVERIFY(form.close());
      for (const char* line : {"LEFT=40\r\n", "TOP=30\r\n", "HEIGHT=600\r\n", "WIDTH=800\r\n"})
        QVERIFY2(folder.Ini().contains(line), folder.Ini().constData());
      QVERIFY2(folder.Ini().contains("LOGH=5000"), folder.Ini().constData());
    }
    MainWindow form(folder.program);
    form.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(form.isMaximized());
    const QSize maximised = form.size();
    form.Settings().ChangesSaved = true;
    QVERIFY(form.close());
    QVERIFY2(folder.Ini().contains("WIDTH=" + QByteArray::number(maximised.width())),
             folder.Ini().constData());
  }

  void unknownLanguageShowsTheFixedErrorAndKeepsDefaults() {
    Folder folder("LANG=2\r\n");
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    MainWindow form(folder.program);
    const auto calls = MessageDialogSeam::Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].text, "Language file not found: " + QDir::toNativeSeparators(folder.program) +
                                QDir::separator());
    QCOMPARE(calls[0].kind, MsgDlgType::Error);
    QCOMPARE(calls[0].buttons, MsgDlgButtons(MsgDlgBtn::OK));
    QCOMPARE(form.edNewAccount->text(), QStringLiteral("New Account"));
    QCOMPARE(MenuTitles(form), (QStringList{"File", "Edit", "View", "Help"}));
    // The edit menu keeps its built-in (German) captions.
    QCOMPARE(form.findChild<EditPopup*>("Popup_Log")->EditUndo()->text(),
             QString::fromUtf8("Rückgängig"));
    form.Settings().ChangesSaved = true;
  }

  void missingEnglishFileIsReported() {
    Folder folder("LANG=0\r\n", false);
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    MainWindow form(folder.program);
    QCOMPARE(MessageDialogSeam::Calls().size(), 1);
    QVERIFY(MessageDialogSeam::Calls()[0].text.endsWith(QDir::separator() +
                                                        QStringLiteral("english.xml")));
    form.Settings().ChangesSaved = true;
  }

  void showLogFollowsTheSettingAndIsWrittenBack() {
    Folder folder("LANG=0\r\nSHOWLOG=0\r\nLOGH=140\r\n");
    {
      MainWindow form(folder.program);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QVERIFY(!form.mViewLog->isChecked());
      QVERIFY(!form.Log()->Logfile()->isVisible());
      QVERIFY(!form.Log()->TitleBar()->isVisible());
      QCOMPARE(form.Log()->LogHeight(), 140);
      form.AddLogLine("while hidden", LogPane::IconInfo);

      form.mViewLog->trigger();  // ticks itself, then shows the pane
      QVERIFY(form.mViewLog->isChecked());
      QVERIFY(form.Log()->Logfile()->isVisible());
      QVERIFY(form.Log()->TitleBar()->isVisible());
      QVERIFY(form.Log()->TitleBar()->geometry().bottom() <
              form.Log()->Logfile()->geometry().top());
      QCOMPARE(form.Log()->LineText(form.Log()->LineCount() - 1), QStringLiteral(" while hidden"));
      form.Log()->SetLogHeight(90);
      form.Settings().ChangesSaved = true;
      QVERIFY(form.close());
    }
    QVERIFY(folder.Ini().contains("SHOWLOG=1"));
    QVERIFY(folder.Ini().contains("LOGH=90"));
    {
      MainWindow form(folder.program);
      form.mViewLog->trigger();  // untick
      QVERIFY(!form.mViewLog->isChecked());
      form.Settings().ChangesSaved = true;
      QVERIFY(form.close());
    }
    QVERIFY(folder.Ini().contains("SHOWLOG=0"));
    QVERIFY(folder.Ini().contains("LOGH=90"));  // a hidden pane keeps its height
  }

  void closeQuestionGoesThroughMessageDialog() {
    Folder folder("LANG=1\r\n");
    MainWindow form(folder.program);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.SetChangesSaved(false);
    MessageDialogSeam::Clear();
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Cancel);  // also what the frame's close box gives
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QCOMPARE(StatusText(form, "StatePanel"), QStringLiteral("Status: nicht gespeichert"));
    const auto calls = MessageDialogSeam::Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].text, QString::fromUtf8("Änderungen speichern?"));
    QCOMPARE(calls[0].kind, MsgDlgType::Confirmation);
    QCOMPARE(calls[0].buttons, MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel);

    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::No);
    QVERIFY(form.close());
  }
};

QTEST_MAIN(TestMainWindowText)
#include "tst_mainwindow_text.moc"
