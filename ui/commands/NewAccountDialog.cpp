#include "ui/commands/NewAccountDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "store/AccountTable.h"
#include "store/GeneratePassword.h"
#include "store/LetterCase.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"

namespace kov {

namespace {

// The dialog says "Developer" where the table's names say "Dev"; the new row gets it so.
const char* const kDialogLevels[8] = {"Guest", "Player",    "Counselor", "Seer",
                                      "GM",    "Developer", "Admin",     "Owner"};

// Only ASCII letters and digits: anything else could not stand in a console command or a
// script line (a blank, a line end, a "=") or could change under the server's letter case.
bool OnlyLettersAndDigits(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    const bool ok =
        (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
    if (!ok) return false;
  }
  return true;
}

}  // namespace

NewAccountDialog::NewAccountDialog(AccountTable& table, std::function<void()> filterReset,
                                   QWidget* parent)
    : QDialog(parent), m_table(table), m_filterReset(std::move(filterReset)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  m_group = new QGroupBox(this);
  m_group->setObjectName(QStringLiteral("GroupBox1"));
  m_account = new QLineEdit(m_group);
  m_account->setObjectName(QStringLiteral("eAccount"));
  m_password = new QLineEdit(m_group);
  m_password->setObjectName(QStringLiteral("ePassword"));
  m_passwordLabel = new QLabel(m_group);
  m_passwordLabel->setObjectName(QStringLiteral("LabelPassword"));
  m_passwordLabel->setBuddy(m_password);
  m_passwordButton = new QToolButton(m_group);
  m_passwordButton->setObjectName(QStringLiteral("SpeedButton1"));
  m_passwordButton->setAutoRaise(true);
  m_passwordButton->setText(QStringLiteral("*"));
  m_passwordButton->setFocusPolicy(Qt::NoFocus);
  m_level = new QComboBox(m_group);
  m_level->setObjectName(QStringLiteral("ComboBox1"));
  m_level->setEditable(false);
  for (const char* name : kDialogLevels) m_level->addItem(QString::fromLatin1(name));
  m_level->setCurrentIndex(0);

  m_accountLabel = new QLabel(m_group);
  auto* accountLabel = m_accountLabel;
  accountLabel->setBuddy(m_account);
  m_levelLabel = new QLabel(m_group);
  auto* levelLabel = m_levelLabel;
  levelLabel->setBuddy(m_level);
  auto* grid = new QGridLayout(m_group);
  grid->addWidget(accountLabel, 0, 0);
  grid->addWidget(m_account, 1, 0, 1, 2);
  grid->addWidget(m_passwordLabel, 2, 0);
  grid->addWidget(m_password, 3, 0);
  grid->addWidget(m_passwordButton, 3, 1);
  grid->addWidget(levelLabel, 4, 0);
  grid->addWidget(m_level, 5, 0, 1, 2);

  m_insert = new QPushButton(this);
  m_insert->setObjectName(QStringLiteral("BitBtn2"));
  m_insert->setDefault(true);
  m_cancel = new QPushButton(this);
  m_cancel->setObjectName(QStringLiteral("BitBtn1"));
  m_cancel->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_insert);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_group);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  m_account->setMinimumWidth(220);

  connect(m_insert, &QPushButton::clicked, this, &NewAccountDialog::InsertClick);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_passwordButton, &QToolButton::clicked, this, &NewAccountDialog::GeneratePasswordClick);

  ApplyUiText();
}

void NewAccountDialog::ApplyUiText() {
  setWindowTitle(Ui("f2_Title"));
  m_insert->setText(Ui("f2_b_Insert"));
  m_cancel->setText(Ui("f2_b_Cancel"));
  m_passwordLabel->setText(Ui("f2_b_Password"));
  m_passwordButton->setToolTip(Ui("prefs_pw_Hint"));
  m_group->setTitle(Ui("ext_NewAccount_Account"));
  m_accountLabel->setText(Ui("ext_NewAccount_Account"));
  m_levelLabel->setText(Ui("ext_NewAccount_PLevel"));
}

void NewAccountDialog::GeneratePasswordClick() {
  m_password->setText(QString::fromLatin1(GeneratePassword(6)));
}

void NewAccountDialog::InsertClick() {
  const QString name = m_account->text();
  const QString password = m_password->text();
  struct Check {
    bool failed;
    const char* key;
    NoticeKind kind;
  };
  const Check checks[] = {
      {!OnlyLettersAndDigits(name), "err_acc_str", NoticeKind::Information},
      {!OnlyLettersAndDigits(password), "err_pw_str", NoticeKind::Information},
      {name.size() < 4, "err_acc_len", NoticeKind::Information},
      {password.size() < 4, "err_pw_len", NoticeKind::Information},
  };
  for (const Check& c : checks) {
    if (c.failed) {
      ShowNotice(this, c.kind, Ui(c.key));
      return;
    }
  }

  // Letters and digits only, so the text is its own Windows-1252 bytes.
  const std::string nameBytes = name.toStdString();
  const std::string passwordBytes = password.toStdString();
  if (m_filterReset) m_filterReset();
  // A server that ignores letter case would take "Anna" for "anna" and give the existing
  // account the new one's defaults, so any spelling of a taken name is refused.
  for (RowId row : m_table.Order()) {
    if (EqualsIgnoringAsciiCase(m_table.Text(row, dbaccount), nameBytes)) {
      if (m_table.ViewIndexOf(row) >= 0) m_table.SetCurrent(row);
      ShowNotice(this, NoticeKind::Warning, Ui("err_account_dubble"));
      return;
    }
  }

  m_table.Append();
  m_table.SetText(dbaccount, nameBytes);
  m_table.SetText(dbpasswort, passwordBytes);
  m_table.SetText(dbplevel, m_level->currentText().toStdString());
  m_table.SetText(dbpriv, "$0");
  m_table.SetInt(dbblock, 0);
  m_table.SetInt(dbjail, 0);
  for (Field f : {dbtotalct, dblastct, dbfirstcd, dblastcd, dblastcuid}) m_table.SetText(f, "");
  m_table.SetInt(dbstatus, StatusNew);
  m_table.Post();
  accept();
}

}  // namespace kov
