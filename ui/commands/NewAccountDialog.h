#pragma once
// The new-account dialog "Form2": name, password and level of a new account, checked and
// inserted into the table as a new row. Created once and reused; its fields keep what they
// held when it was last closed.
#include <QDialog>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace kov {

class AccountTable;

class NewAccountDialog : public QDialog {
  Q_OBJECT

 public:
  // `filterReset` shows every row before the name is looked for.
  NewAccountDialog(AccountTable& table, std::function<void()> filterReset,
                   QWidget* parent = nullptr);

  void ApplyUiText();

  // "Insert": the five checks in order, then the new row.
  void InsertClick();
  // The password button.
  void GeneratePasswordClick();

  QLineEdit* eAccount() const { return m_account; }
  QLineEdit* ePassword() const { return m_password; }
  QToolButton* GeneratePasswordButton() const { return m_passwordButton; }
  QComboBox* LevelBox() const { return m_level; }
  QPushButton* InsertButton() const { return m_insert; }
  QPushButton* CancelButton() const { return m_cancel; }

 private:
  AccountTable& m_table;
  std::function<void()> m_filterReset;
  QGroupBox* m_group = nullptr;
  QLineEdit* m_account = nullptr;
  QLineEdit* m_password = nullptr;
  QLabel* m_passwordLabel = nullptr;
  QLabel* m_accountLabel = nullptr;
  QLabel* m_levelLabel = nullptr;
  QToolButton* m_passwordButton = nullptr;
  QComboBox* m_level = nullptr;
  QPushButton* m_insert = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace kov
