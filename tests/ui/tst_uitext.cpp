#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include "ui/settings/LanguageFile.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;

namespace {

void ResetTexts() {
  UiText& t = UiText::Instance();
  for (const QString& key : t.Keys()) t.SetText(key, UiText::DefaultText(key));
}

QByteArray Doc(const QByteArray& variables, const QByteArray& extra = {}) {
  return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<Kov>\r\n<Form1>\r\n<Variables>\r\n" +
         variables + "</Variables>\r\n" + extra + "</Form1>\r\n</Kov>\r\n";
}

// Every key named by the Variables of a language file, in file order.
QList<QPair<QString, QString>> VariablesOf(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QXmlStreamReader r(DecodeWindows1252(f.readAll()));
  QList<QPair<QString, QString>> out;
  bool inVariables = false;
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement() && r.name() == u"Variables")
      inVariables = true;
    else if (r.isEndElement() && r.name() == u"Variables")
      inVariables = false;
    else if (r.isStartElement() && inVariables)
      out.append(
          {r.attributes().value("Name").toString(), r.attributes().value("Value").toString()});
  }
  return r.hasError() ? QList<QPair<QString, QString>>{} : out;
}

}  // namespace

class TestUiText : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void init() {
    ResetTexts();
    MessageDialogSeam::Clear();
  }

  void registersTheEntriesInOrder() {
    UiText& t = UiText::Instance();
    t.RegisterUiTextKeys();  // a second call must not add anything
    const QStringList keys = t.Keys();
    QCOMPARE(keys.size(), kUiTextKeyCount);
    QCOMPARE(keys.first(), QStringLiteral("f2_b_Insert"));
    QCOMPARE(keys.at(kUiTextBaseKeyCount - 1), QStringLiteral("prefs_Ordner"));
    QCOMPARE(keys.indexOf("Info_Label_CopyRight"), keys.indexOf("Info_Button_Cancel") + 1);
    QCOMPARE(keys.indexOf("dlg_yes") + 1, keys.indexOf("dlg_no"));
    QSet<QString> folded;
    for (const QString& k : keys) folded.insert(k.toLower());
    QCOMPARE(folded.size(), kUiTextKeyCount);
    for (const QString& k : keys) {
      if (k != "prefs_SelectDir_Text") QVERIFY2(!t.Text(k).isEmpty(), qPrintable(k));
    }
  }

  void defaults_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("first") << "f2_b_Insert"
                           << "Insert";
    QTest::newRow("format d") << "f1_panel_0"
                              << "Entry: %d";
    QTest::newRow("format s") << "f1_Groupbox_3"
                              << "Priv Flags (%s)";
    QTest::newRow("empty") << "prefs_SelectDir_Text"
                           << "";
    QTest::newRow("typo kept")
        << "err_Account_Delete"
        << "Accounts could only be deleted if the Vonexserver is active and the "
           "Vornex Account Manager has access to the console.";
    QTest::newRow("german undo") << "pop_log_Undo" << QString::fromUtf8("Rückgängig");
    QTest::newRow("german cut") << "pop_log_Cut"
                                << "Ausscheiden";
    QTest::newRow("german paste") << "pop_log_Paste" << QString::fromUtf8("Einfügen");
    QTest::newRow("german delete") << "pop_log_delete" << QString::fromUtf8("Löschen");
    QTest::newRow("german select all") << "pop_log_selectall"
                                       << "Alles markieren";
    QTest::newRow("log title") << "f1_Log_Title"
                               << "KOV Info...";
    QTest::newRow("exit") << "frg_Exit_Confirm"
                          << "Save changes?";
  }
  void defaults() {
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(UiText::Instance().Text(key), text);
    QCOMPARE(UiText::DefaultText(key), text);
  }

  void lookupIgnoresLetterCase() {
    UiText& t = UiText::Instance();
    QCOMPARE(t.Text(u"F1_TAB_1"), QStringLiteral("All"));
    QCOMPARE(Ui("DLG_OK"), QStringLiteral("OK"));
    t.SetText(u"F1_TAB_1", QStringLiteral("Alle"));
    QCOMPARE(t.Text(u"f1_Tab_1"), QStringLiteral("Alle"));
    QCOMPARE(t.Keys().at(4), QStringLiteral("f1_Tab_1"));  // the spelling stays the registered one
    QCOMPARE(t.Text(u"no_such_key"), QString());
    t.SetText(u"no_such_key", QStringLiteral("x"));
    QCOMPARE(t.Text(u"no_such_key"), QString());
    QCOMPARE(t.Keys().size(), kUiTextKeyCount);
  }

  void formatText_data() {
    QTest::addColumn<QString>("fmt");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("number") << "Entry: %d" << QVariantList{42} << "Entry: 42";
    QTest::newRow("text") << "Priv Flags (%s)" << QVariantList{"$0"} << "Priv Flags ($0)";
    QTest::newRow("in order") << "%s %s (Build %d)" << QVariantList{"Linux", "SP1", 7}
                              << "Linux SP1 (Build 7)";
    QTest::newRow("missing arg shows placeholder")
        << "Updating %s: %d" << QVariantList{"bob"} << "Updating bob: %d";
    QTest::newRow("extra arg dropped") << "Entry:" << QVariantList{5} << "Entry:";
    QTest::newRow("no placeholder, arg")
        << "Konto aktualisieren" << QVariantList{"bob"} << "Konto aktualisieren";
    QTest::newRow("wrong kind: %d with text")
        << "Eintrag: %d" << QVariantList{"bob"} << "Eintrag: bob";
    QTest::newRow("wrong kind: %s with number")
        << "Eintrag: %s" << QVariantList{12} << "Eintrag: 12";
    QTest::newRow("printf traps stay text") << "%n%x%p%5d %" << QVariantList{1} << "%n%x%p%5d %";
    QTest::newRow("percent") << "100%% %d%%" << QVariantList{50} << "100% 50%";
    QTest::newRow("argument holding a placeholder") << "%s %s" << QVariantList{"%s", "x"} << "%s x";
  }
  void formatText() {
    QFETCH(QString, fmt);
    QFETCH(QVariantList, args);
    QFETCH(QString, expected);
    QCOMPARE(FormatText(fmt, args), expected);
  }

  void variablesRules() {
    const QByteArray doc =
        Doc("<Item Name=\"F1_TAB_1\" Value=\"Alle\"/>\r\n"   // key in upper case
            "<Entry Name=\"f1_Tab_2\" Value=\"Gast\"/>\r\n"  // any element name
            "<Item Name=\"f1_Tab_3\"/>\r\n"                  // no Value: empty text
            "<Item Name=\"f1_Tab_4\" Value=\"one\"/>\r\n"
            "<Item Name=\"f1_Tab_4\" Value=\"two\"/>\r\n"                // the later one wins
            "<Item Name=\"frg_Exit_Confirm\" Value=\"a\\nb\\nc\"/>\r\n"  // every \\n converted
            "<Item Name=\"no_such_key\" Value=\"x\"/>\r\n"
            "<Item Value=\"nameless\"/>\r\n"
            "<Item name=\"f1_Tab_5\" VALUE=\"Gesperrt\"/>\r\n");
    QVERIFY(ApplyLanguageDocument(doc, {}));
    UiText& t = UiText::Instance();
    QCOMPARE(t.Text(u"f1_Tab_1"), QStringLiteral("Alle"));
    QCOMPARE(t.Text(u"f1_Tab_2"), QStringLiteral("Gast"));
    QCOMPARE(t.Text(u"f1_Tab_3"), QString());
    QCOMPARE(t.Text(u"f1_Tab_4"), QStringLiteral("two"));
    QCOMPARE(t.Text(u"frg_Exit_Confirm"), QStringLiteral("a\nb\nc"));
    QCOMPARE(t.Text(u"frg_Exit_Confirm").split('\n').size(), 3);
    QCOMPARE(t.Text(u"f1_Tab_5"), QStringLiteral("Gesperrt"));
    QCOMPARE(t.Text(u"f1_Tab_6"), QStringLiteral("Jailed"));  // not named: untouched
    QCOMPARE(t.Keys().size(), kUiTextKeyCount);
  }

  void bytesAreWindows1252WhateverTheDeclaration_data() {
    QTest::addColumn<QByteArray>("declaration");
    QTest::newRow("none") << QByteArray();
    QTest::newRow("utf-8") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    QTest::newRow("iso-8859-1") << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
    QTest::newRow("utf-16") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    QTest::newRow("unknown") << QByteArray("<?xml version=\"1.0\" encoding=\"x-nonsense\"?>");
  }
  void bytesAreWindows1252WhateverTheDeclaration() {
    QFETCH(QByteArray, declaration);
    const QByteArray doc = declaration +
                           "<Kov><Form1><Variables>"
                           "<Item Name=\"pop_log_Undo\" Value=\"R\xfc"
                           "ckg\xe4ngig \x80 \x93x\x94\"/>"
                           "</Variables></Form1></Kov>";
    QVERIFY(ApplyLanguageDocument(doc, {}));
    QCOMPARE(Ui("pop_log_Undo"), QString::fromUtf8("Rückgängig € “x”"));
  }

  void malformedOrHostileDocumentsChangeNothing_data() {
    QTest::addColumn<QByteArray>("doc");
    const QByteArray good = Doc("<Item Name=\"f1_Tab_1\" Value=\"CHANGED\"/>\r\n");
    QTest::newRow("truncated") << good.left(good.indexOf("</Variables>") + 5);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("no element") << QByteArray("<?xml version=\"1.0\"?>");
    QTest::newRow("two roots") << good + "<Other/>";
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\xfe<Kov>\x02\x03", 10);
    QTest::newRow("control byte inside") << Doc("<Item Name=\"f1_Tab_1\" Value=\"CH\x01NGED\"/>");
    QTest::newRow("unbalanced") << Doc("<Item Name=\"f1_Tab_1\" Value=\"CHANGED\">");
    QTest::newRow("unknown entity") << Doc("<Item Name=\"f1_Tab_1\" Value=\"&bogus;\"/>");
    QByteArray laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE Kov [<!ENTITY a "
        "\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    const char* names = "bcdefghij";
    for (int i = 0; i < 9; ++i) {
      const char prev = i == 0 ? 'a' : names[i - 1];
      laughs += QByteArray("<!ENTITY ") + names[i] + " \"";
      for (int k = 0; k < 10; ++k) laughs += QByteArray("&") + prev + ";";
      laughs += "\">";
    }
    laughs +=
        "]><Kov><Form1><Variables><Item Name=\"f1_Tab_1\" "
        "Value=\"&j;\"/></Variables></Form1></Kov>";
    QTest::newRow("entity expansion bomb") << laughs;
  }
  void malformedOrHostileDocumentsChangeNothing() {
    QFETCH(QByteArray, doc);
    QVERIFY(!ApplyLanguageDocument(doc, {}));
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("All"));
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
  }

  void deepNestingIsSurvived() {
    QByteArray deep = "<Kov><Form1><Variables><Item Name=\"f1_Tab_1\" Value=\"Alle\"/></Variables>";
    for (int i = 0; i < 20000; ++i) deep += "<Button1>";
    for (int i = 0; i < 20000; ++i) deep += "</Button1>";
    deep += "</Form1></Kov>";
    QWidget form;
    form.setObjectName("Form1");
    auto* button = new QPushButton("Old", &form);
    button->setObjectName("Button1");
    QVERIFY(ApplyLanguageDocument(deep, {&form}));
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("Alle"));
  }

  void manyControlElementsApplyInOrder() {
    QWidget form;
    form.setObjectName("Form1");
    for (int i = 0; i < 300; ++i)
      (new QPushButton(&form))->setObjectName(QStringLiteral("Button%1").arg(i));
    QByteArray doc = "<Kov><Form1>";
    for (int i = 0; i < 50000; ++i) doc += "<button7 Caption=\"" + QByteArray::number(i) + "\"/>";
    doc += "</Form1></Kov>";
    QVERIFY(ApplyLanguageDocument(doc, {&form}));
    QCOMPARE(form.findChild<QPushButton*>("Button7")->text(), QStringLiteral("49999"));
  }

  void nulByteEndsTheText() {
    QByteArray doc = Doc("<Item Name=\"f1_Tab_1\" Value=\"Alle\"/>");
    doc += QByteArray("\0<garbage", 9);
    QVERIFY(ApplyLanguageDocument(doc, {}));
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("Alle"));
  }

  void placeholderInTranslationNeverCrashes() {
    QVERIFY(ApplyLanguageDocument(
        Doc("<Item Name=\"f1_panel_0\" Value=\"%s%s%n%d Eintr\xe4ge\"/>"
            "<Item Name=\"msg_acc_Updating\" Value=\"Konto wird aktualisiert\"/>"),
        {}));
    QCOMPARE(FormatText(Ui("f1_panel_0"), {7}), QString::fromUtf8("7%s%n%d Einträge"));
    QCOMPARE(FormatText(Ui("msg_acc_Updating"), {"bob"}),
             QStringLiteral("Konto wird aktualisiert"));
  }

  void noResetBetweenLoads() {
    QVERIFY(ApplyLanguageDocument(
        Doc("<Item Name=\"f1_Tab_1\" Value=\"Alle\"/><Item Name=\"f1_Tab_2\" Value=\"Gast\"/>"),
        {}));
    QVERIFY(ApplyLanguageDocument(Doc("<Item Name=\"f1_Tab_1\" Value=\"All\"/>"), {}));
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("All"));
    QCOMPARE(Ui("f1_Tab_2"), QStringLiteral("Gast"));  // the earlier language's text stays
  }

  void windowAndControlElements() {
    QWidget mainWindow;
    mainWindow.setObjectName("Form1");
    auto* button = new QPushButton("Old", &mainWindow);
    button->setObjectName("Button1");
    auto* group = new QGroupBox("Group", &mainWindow);
    group->setObjectName("GroupBox1");
    auto* label = new QLabel("Label", group);
    label->setObjectName("Label7");
    auto* action = new QAction("Action", &mainWindow);
    action->setObjectName("edNewAccount");
    QWidget newAccount;
    newAccount.setObjectName("Form2");
    auto* other = new QPushButton("Untouched", &newAccount);
    other->setObjectName("Button1");

    const QByteArray doc =
        "<Kov>"
        "<FORM1>"
        "<button1 Caption=\"Hello\\nthere\\nyou\" Hint=\"A tip\" Width=\"999999\" "
        "objectName=\"Evil\"/>"
        "<GroupBox1 Caption=\"Gruppe\"><Label7 Caption=\"Kommentar\"/><Font "
        "Name=\"Arial\"/></GroupBox1>"
        "<edNewAccount Caption=\"Neues Konto\" ShortCut=\"Ctrl+N\"/>"
        "<NoSuchControl Caption=\"x\"/>"
        "<Variables><Item Name=\"f1_Tab_1\" Value=\"Alle\"/></Variables>"
        "</FORM1>"
        "<NoSuchWindow><Button1 Caption=\"x\"/></NoSuchWindow>"
        "<Form2><Button1 Caption=\"Einf\xfcgen\"/></Form2>"
        "</Kov>";
    // Form2 is not among the windows that exist: its element finds nothing.
    QVERIFY(ApplyLanguageDocument(doc, {&mainWindow}));
    QCOMPARE(button->text(), QStringLiteral("Hello\nthere\\nyou"));  // controls: only the first \\n
    QCOMPARE(button->toolTip(), QStringLiteral("A tip"));
    QCOMPARE(button->objectName(), QStringLiteral("Button1"));
    QVERIFY(button->width() < 999999);
    QCOMPARE(group->title(), QStringLiteral("Gruppe"));
    QCOMPARE(label->text(), QStringLiteral("Kommentar"));
    QCOMPARE(action->text(), QStringLiteral("Neues Konto"));
    QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    QCOMPARE(other->text(), QStringLiteral("Untouched"));
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("Alle"));

    QVERIFY(ApplyLanguageDocument(doc, {&mainWindow, &newAccount}));
    QCOMPARE(other->text(), QString::fromUtf8("Einfügen"));
  }

  void missingFileIsReportedWithItsPath_data() {
    QTest::addColumn<int>("lang");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("english missing") << 0 << "english.xml";
    QTest::newRow("german missing") << 1 << "german.xml";
    QTest::newRow("no such language") << 2 << "";
    QTest::newRow("negative") << -1 << "";
  }
  void missingFileIsReportedWithItsPath() {
    QFETCH(int, lang);
    QFETCH(QString, fileName);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The other language's file is there, so a wrong choice of file would show.
    QFile other(dir.filePath(lang == 0 ? "german.xml" : "english.xml"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(Doc("<Item Name=\"f1_Tab_1\" Value=\"WRONG\"/>"));
    other.close();
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    QCOMPARE(LoadLanguageFile(dir.path(), lang, {}), LanguageLoad::NotFound);
    QCOMPARE(MessageDialogSeam::Calls().size(), 1);
    const auto call = MessageDialogSeam::Calls().first();
    QCOMPARE(call.text, "Language file not found: " + QDir::toNativeSeparators(dir.path()) +
                            QDir::separator() + fileName);
    QCOMPARE(call.kind, MsgDlgType::Error);
    QCOMPARE(call.buttons, MsgDlgButtons(MsgDlgBtn::OK));
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("All"));
  }

  void messageIsFixedNotTranslated() {
    QTemporaryDir dir;
    UiText::Instance().SetText(u"err_file_not_Found", QStringLiteral("Datei nicht gefunden!"));
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    QCOMPARE(LoadLanguageFile(dir.path() + "/", 2, {}), LanguageLoad::NotFound);
    QCOMPARE(
        MessageDialogSeam::Calls().first().text,
        "Language file not found: " + QDir::toNativeSeparators(dir.path()) + QDir::separator());
  }

  void folderNamedLikeTheFileIsNotAFile() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("english.xml"));
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    QCOMPARE(LoadLanguageFile(dir.path(), 0, {}), LanguageLoad::NotFound);
  }

  void hugeFileIsRefusedSilently() {
    QTemporaryDir dir;
    QFile f(dir.filePath("english.xml"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(Doc("<Item Name=\"f1_Tab_1\" Value=\"CHANGED\"/>", QByteArray(9 * 1024 * 1024, ' ')));
    f.close();
    QCOMPARE(LoadLanguageFile(dir.path(), 0, {}), LanguageLoad::Unreadable);
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("All"));
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
  }

  void germanThenEnglishLackingAKeyKeepsTheGermanText() {
    QTemporaryDir dir;
    QFile de(dir.filePath("german.xml"));
    QVERIFY(de.open(QIODevice::WriteOnly));
    de.write(
        Doc("<Item Name=\"f1_Tab_1\" Value=\"Alle\"/><Item Name=\"f1_Tab_2\" Value=\"Gast\"/>"));
    de.close();
    QFile en(dir.filePath("english.xml"));
    QVERIFY(en.open(QIODevice::WriteOnly));
    en.write(Doc("<Item Name=\"f1_Tab_1\" Value=\"All\"/>"));
    en.close();
    QCOMPARE(LoadLanguageFile(dir.path(), 1, {}), LanguageLoad::Loaded);
    QCOMPARE(LoadLanguageFile(dir.path(), 0, {}), LanguageLoad::Loaded);
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("All"));
    QCOMPARE(Ui("f1_Tab_2"), QStringLiteral("Gast"));
  }

  void shippedFilesNameEveryKeyOnce_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("english") << "english.xml";
    QTest::newRow("german") << "german.xml";
  }
  void shippedFilesNameEveryKeyOnce() {
    QFETCH(QString, file);
    const auto vars = VariablesOf(QStringLiteral(KOV_SOURCE_DIR "/lang/") + file);
    QCOMPARE(vars.size(), kUiTextKeyCount);
    QStringList names;
    for (const auto& [name, value] : vars) names << name;
    QCOMPARE(names, UiText::Instance().Keys());  // every key, exact spelling, registration order
  }

  void shippedFilesLoad() {
    const QString dir = QStringLiteral(KOV_SOURCE_DIR "/lang");
    QCOMPARE(LoadLanguageFile(dir, 1, {}), LanguageLoad::Loaded);
    QCOMPARE(Ui("f1_Tab_1"), QStringLiteral("Alle"));
    QCOMPARE(Ui("frg_Exit_Confirm"), QString::fromUtf8("Änderungen speichern?"));
    QVERIFY(Ui("f1_panel_0").contains("%d"));
    QVERIFY(Ui("f1_Groupbox_3").contains("%s"));
    QVERIFY(Ui("msg_acc_Updating").contains("%s"));
    QVERIFY(Ui("msg_acc_Create").contains("%s"));
    // Every text is German, except the few that read the same in both languages.
    const QStringList sameInBoth = {"f1_Label_4",
                                    "f1_Label_6",
                                    "f1_Grid_Status",
                                    "f1_Grid_PLevel",
                                    "f1_Grid_PLevel_hint",
                                    "f1_Grid_EMail",
                                    "f1_Grid_EMail_Hint",
                                    "f1_Action_send_Email",
                                    "exp_Menu_Excel",
                                    "dlg_ok",
                                    "ext_Prefs_Seconds",
                                    "ext_Flag_T2A",
                                    "ext_Char_SkillValue",
                                    "ext_Info_Version",
                                    "ext_Info_Build",
                                    "ext_Export_Filter_Excel",
                                    "ext_Export_Filter_Html",
                                    "ext_Export_Filter_Csv",
                                    "ext_NewAccount_PLevel",
                                    "prefs_SelectDir_Text",
                                    "Info_Label_CopyRight",
                                    "f1_Log_Title",
                                    "Language",
                                    "f1_Grid_Status_Hint",
                                    "f1_Action_Help"};
    QStringList english;
    for (const QString& key : UiText::Instance().Keys()) {
      if (key.startsWith("pop_log_") || sameInBoth.contains(key)) continue;
      if (Ui(key.toLatin1()) == UiText::DefaultText(key)) english << key;
    }
    QVERIFY2(english.isEmpty(), qPrintable("still English: " + english.join(", ")));

    QCOMPARE(LoadLanguageFile(dir, 0, {}), LanguageLoad::Loaded);
    for (const QString& key : UiText::Instance().Keys()) {
      if (key.startsWith("pop_log_")) continue;
      QCOMPARE(Ui(key.toLatin1()), UiText::DefaultText(key));
    }
    QCOMPARE(Ui("pop_log_Undo"), QStringLiteral("Undo"));
    QCOMPARE(Ui("pop_log_selectall"), QStringLiteral("Select All"));
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
  }
};

QTEST_MAIN(TestUiText)
#include "tst_uitext.moc"
