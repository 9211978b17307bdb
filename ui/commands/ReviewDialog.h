#pragma once
// "Review Changes...": every pending row, with each field whose value differs from the
// server's account file (server value and new value side by side), or a new row's fields.
// From here the operator saves, or reverts the selected rows.
#include <QDialog>
#include <vector>

#include "store/AccountTable.h"

class QPushButton;
class QTreeWidget;

namespace kov {

class RevertCommand;
class MainWindow;

class ReviewDialog : public QDialog {
  Q_OBJECT

 public:
  ReviewDialog(MainWindow& form, RevertCommand& revert, QWidget* parent = nullptr);

  // Lists the pending rows anew; false (the operator told why) when the server's file
  // cannot be read.
  bool Refill();
  QTreeWidget* List() const { return m_list; }
  QPushButton* SaveButton() const { return m_save; }
  QPushButton* RevertButton() const { return m_revert; }

 public slots:
  void SaveClicked();
  void RevertClicked();

 private:
  MainWindow& m_form;
  RevertCommand& m_revertCommand;
  QTreeWidget* m_list = nullptr;
  QPushButton* m_save = nullptr;
  QPushButton* m_revert = nullptr;
  QPushButton* m_close = nullptr;
};

}  // namespace kov
