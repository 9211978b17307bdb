#pragma once
// The delete confirmation dialog "Form6": the accounts about to be deleted, each with a tick
// box. When it has closed, every item still listed and still ticked is to be deleted.
#include <QDialog>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace kov {

class DeleteConfirmationDialog : public QDialog {
  Q_OBJECT

 public:
  explicit DeleteConfirmationDialog(QWidget* parent = nullptr);

  void ApplyUiText();

  // The list contract with the caller. Names are the account's bytes (Windows-1252).
  void ClearList();
  void AddItem(const std::string& name, bool checked = true);
  int Count() const;
  std::string ItemName(int index) const;
  bool IsChecked(int index) const;

  QListWidget* AccountList() const { return m_list; }
  QPushButton* ButtonYes() const { return m_yes; }
  QPushButton* ButtonNo() const { return m_no; }
  QLabel* Question() const { return m_question; }

 public slots:
  // "No", Escape and the frame's close box all refuse: the list is emptied, nothing goes.
  void reject() override;

 private:
  QLabel* m_icon = nullptr;
  QLabel* m_question = nullptr;
  QListWidget* m_list = nullptr;
  QPushButton* m_yes = nullptr;
  QPushButton* m_no = nullptr;
};

}  // namespace kov
