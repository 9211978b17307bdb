// The new-account dialog: the checks in their order, the duplicate rule, the new row.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "store/AccountTable.h"
#include "store/GeneratePassword.h"
#include "ui/commands/NewAccountDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"

using namespace kov;

namespace {

struct Shown {
  NoticeKind kind;
  QString text;
};

RowId AddRow(AccountTable& t, const char* name) {
  t.Append();
  t.SetText(dbaccount, name);
  t.SetText(dbpasswort, "secret");
  t.SetInt(dbstatus, StatusStored);
  t.Post();
  return t.Current();
}

QStringList Names(const AccountTable& t) {
  QStringList out;
  for (RowId r : t.Order()) out << QString::fromLatin1(t.Text(r, dbaccount));
  return out;
}

}  // namespace

class TestNewAccount : public QObject {
  Q_OBJECT

 private:
  QList<Shown> m_shown;
  int m_filterResets = 0;

  std::unique_ptr<NewAccountDialog> MakeDialog(AccountTable& t) {
    return std::make_unique<NewAccountDialog>(t, [this, &t] {
      ++m_filterResets;
      t.SetFiltered(false);
      t.First();
    });
  }

  static void Enter(NewAccountDialog& d, const QString& name, const QString& password) {
    d.eAccount()->clear();
    d.ePassword()->clear();
    Type(d.eAccount(), name);
    Type(d.ePassword(), password);
  }
  // Keys for plain ASCII; other characters arrive as the input method would insert them.
  static void Type(QLineEdit* field, const QString& text) {
    bool ascii = true;
    for (QChar c : text) ascii &= c.unicode() >= 0x20 && c.unicode() < 0x7F;
    if (ascii)
      QTest::keyClicks(field, text);
    else
      field->insert(text);
  }

 private slots:
  void initTestCase() {
    UiText::Instance().RegisterUiTextKeys();
    SetNoticeHandler([this](NoticeKind kind, const QString& text) {
      m_shown.append({kind, text});
    });
  }
  void cleanupTestCase() { SetNoticeHandler({}); }
  void init() {
    m_shown.clear();
    m_filterResets = 0;
  }

  void checksInOrder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("kind");
    const int info = int(NoticeKind::Information);
    const int warn = int(NoticeKind::Warning);
    // Character checks come before the length checks.
    QTest::newRow("short name, ! in password") << "ab"
                                               << "pa!ss"
                                               << "err_pw_str" << info;
    QTest::newRow("blank in name") << "a bcd"
                                   << "pass"
                                   << "err_acc_str" << info;
    QTest::newRow("umlaut in name") << QString::fromUtf8("M\u00fcller") << "pass"
                                    << "err_acc_str" << info;
    QTest::newRow("Kelvin sign lower-cases to k") << QString::fromUtf8("\u212Aate") << "pass"
                                                  << "err_acc_str" << info;
    QTest::newRow("empty name passes the characters") << ""
                                                      << ""
                                                      << "err_acc_len" << info;
    QTest::newRow("name length before password length") << "abc"
                                                        << "ab"
                                                        << "err_acc_len" << info;
    QTest::newRow("short password") << "abcd"
                                    << "abc"
                                    << "err_pw_len" << info;
    QTest::newRow("= in password") << "abcd"
                                   << "x=PLEVEL"
                                   << "err_pw_str" << info;
    QTest::newRow("taken, other letter case") << "Anna"
                                              << "pass"
                                              << "err_account_dubble" << warn;
    QTest::newRow("taken behind a longer name") << "test"
                                                << "pass"
                                                << "err_account_dubble" << warn;
    QTest::newRow("taken, upper case") << "TESTING"
                                       << "pass"
                                       << "err_account_dubble" << warn;
  }
  void checksInOrder() {
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, key);
    QFETCH(int, kind);
    AccountTable t;
    AddRow(t, "anna");
    AddRow(t, "testing");  // ahead of test in the table's order
    AddRow(t, "test");
    const QStringList before = Names(t);
    auto d = MakeDialog(t);
    Enter(*d, name, password);
    QTest::mouseClick(d->InsertButton(), Qt::LeftButton);
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown[0].text, Ui(key.toLatin1().constData()));
    QCOMPARE(int(m_shown[0].kind), kind);
    QCOMPARE(Names(t), before);
    // The dialog stays as it was.
    QCOMPARE(d->eAccount()->text(), name);
    QCOMPARE(d->ePassword()->text(), password);
    QCOMPARE(d->result(), 0);
  }

  void pastedLineEndIsRefused() {
    AccountTable t;
    auto d = MakeDialog(t);
    Enter(*d, "mallory", "");
    QApplication::clipboard()->setText(QStringLiteral("x\r\nPLEVEL=7"));
    d->ePassword()->setFocus();
    d->ePassword()->paste();
    QVERIFY(d->ePassword()->text().contains(QStringLiteral("PLEVEL")));
    QTest::mouseClick(d->InsertButton(), Qt::LeftButton);
    QCOMPARE(m_shown.size(), 1);
    QCOMPARE(m_shown[0].text, Ui("err_pw_str"));
    QCOMPARE(t.RowCount(), 0);
  }

  void insertsTheNewRow() {
    AccountTable t;
    AddRow(t, "anna");
    t.SetFilter([](const AccountTable& tt, RowId r) { return tt.Text(r, dbaccount) == "anna"; });
    t.SetFiltered(true);
    auto d = MakeDialog(t);
    Enter(*d, "Bernd42", "Xy12");
    d->LevelBox()->setCurrentIndex(d->LevelBox()->findText("Developer"));
    QTest::mouseClick(d->InsertButton(), Qt::LeftButton);
    QVERIFY(m_shown.isEmpty());
    QCOMPARE(m_filterResets, 1);
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(Names(t), QStringList({"anna", "Bernd42"}));
    const RowId row = t.Current();
    QCOMPARE(QString::fromLatin1(t.Text(row, dbaccount)), QStringLiteral("Bernd42"));
    QCOMPARE(QString::fromLatin1(t.Text(row, dbpasswort)), QStringLiteral("Xy12"));
    QCOMPARE(QString::fromLatin1(t.Text(row, dbplevel)), QStringLiteral("Developer"));
    QCOMPARE(QString::fromLatin1(t.Text(row, dbpriv)), QStringLiteral("$0"));
    QCOMPARE(t.Int(row, dbblock), std::optional<std::int32_t>(0));
    QCOMPARE(t.Int(row, dbjail), std::optional<std::int32_t>(0));
    QCOMPARE(t.Int(row, dbstatus), std::optional<std::int32_t>(StatusNew));
    QVERIFY(t.Text(row, dbemail).empty());
    QCOMPARE(t.GetState(), AccountTable::State::Browse);
  }

  void levelListAndStart() {
    AccountTable t;
    auto d = MakeDialog(t);
    QStringList levels;
    for (int i = 0; i < d->LevelBox()->count(); ++i) levels << d->LevelBox()->itemText(i);
    QCOMPARE(levels, QStringList({"Guest", "Player", "Counselor", "Seer", "GM", "Developer",
                                  "Admin", "Owner"}));
    QCOMPARE(d->LevelBox()->currentText(), QStringLiteral("Guest"));
    QVERIFY(!d->LevelBox()->isEditable());
  }

  void passwordButton() {
    AccountTable t;
    auto d = MakeDialog(t);
    QSet<QString> seen;
    for (int i = 0; i < 5; ++i) {
      QTest::mouseClick(d->GeneratePasswordButton(), Qt::LeftButton);
      const QString pw = d->ePassword()->text();
      QCOMPARE(pw.size(), 6);
      for (QChar c : pw) QVERIFY(QByteArray(kPasswordAlphabet).contains(char(c.unicode())));
      seen.insert(pw);
    }
    QCOMPARE(seen.size(), 5);
    QCOMPARE(d->GeneratePasswordButton()->toolTip(), Ui("prefs_pw_Hint"));
  }

  void fieldsKeptBetweenOpenings() {
    AccountTable t;
    auto d = MakeDialog(t);
    QTimer::singleShot(0, this, [&] {
      Enter(*d, "keepme", "pw12");
      d->LevelBox()->setCurrentIndex(3);
      QTest::mouseClick(d->CancelButton(), Qt::LeftButton);
    });
    d->exec();
    QString name, password, level;
    QTimer::singleShot(0, this, [&] {
      name = d->eAccount()->text();
      password = d->ePassword()->text();
      level = d->LevelBox()->currentText();
      d->reject();
    });
    d->exec();
    QCOMPARE(name, QStringLiteral("keepme"));
    QCOMPARE(password, QStringLiteral("pw12"));
    QCOMPARE(level, QStringLiteral("Seer"));
    QCOMPARE(t.RowCount(), 0);
  }

  void texts() {
    AccountTable t;
    auto d = MakeDialog(t);
    QCOMPARE(d->windowTitle(), Ui("f2_Title"));
    QCOMPARE(d->InsertButton()->text(), Ui("f2_b_Insert"));
    QCOMPARE(d->CancelButton()->text(), Ui("f2_b_Cancel"));
    UiText::Instance().SetText(u"f2_b_Insert", QStringLiteral("Einfügen"));
    d->ApplyUiText();
    QCOMPARE(d->InsertButton()->text(), QStringLiteral("Einfügen"));
    UiText::Instance().SetText(u"f2_b_Insert", UiText::DefaultText(u"f2_b_Insert"));
  }
};

QTEST_MAIN(TestNewAccount)
#include "tst_newaccount.moc"
