#pragma once
// The main window's account commands: New Account, Delete Account and Info...
#include <QObject>
#include <QPointer>
#include <string>
#include <vector>

#include "store/AccountTable.h"

class QAction;

namespace kov {

class MainWindow;
class NewAccountDialog;
class InfoBox;
class DeleteConfirmationDialog;

class AccountCommands : public QObject {
  Q_OBJECT

 public:
  AccountCommands(MainWindow& window, NewAccountDialog& newAccount, InfoBox& infoBox,
                  DeleteConfirmationDialog& confirmation);
  ~AccountCommands() override;

  void edNewAccountExecute();
  void edDeleteAccountExecute();
  void edHelpExecute();

  bool Deleting() const { return m_deleting; }
  // Delete Account needs a highlighted row: the one the confirmation will list.
  void UpdateDeleteEnabled();

  // Why a name cannot be typed as "ACCOUNT name DELETE": a blank would end the name early
  // and a control character would split or alter the line. Empty when it can.
  static QString NameRefusal(const std::string& name);

 private:
  // The rows of the grid's multi-selection, in view order.
  std::vector<RowId> SelectedRows() const;
  // Keeps the operator from changing the table or closing the window while it lives.
  class BusyScope;

  MainWindow& m_window;
  NewAccountDialog& m_newAccount;
  InfoBox& m_infoBox;
  DeleteConfirmationDialog& m_confirmation;
  bool m_deleting = false;
};

}  // namespace kov
