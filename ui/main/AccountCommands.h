#pragma once
// The main window's account commands: New Account, Delete Account and Info...
#include <QObject>
#include <QPointer>
#include <string>
#include <vector>

#include "store/AccountTable.h"

class QAction;

namespace kov {

class TForm1;
class TForm2;
class TForm3;
class TForm6;

class AccountCommands : public QObject {
  Q_OBJECT

 public:
  AccountCommands(TForm1& form1, TForm2& form2, TForm3& form3, TForm6& form6);
  ~AccountCommands() override;

  void edNewAccountExecute();
  void edDeleteAccountExecute();
  void edHelpExecute();

  bool Deleting() const { return m_deleting; }

  // Why a name cannot be typed as "ACCOUNT name DELETE": a blank would end the name early
  // and a control character would split or alter the line. Empty when it can.
  static QString NameRefusal(const std::string& name);

 private:
  // The rows of the grid's multi-selection, in view order.
  std::vector<RowId> SelectedRows() const;
  // Keeps the operator from changing the table or closing the window while it lives.
  class BusyScope;

  TForm1& m_form1;
  TForm2& m_form2;
  TForm3& m_form3;
  TForm6& m_form6;
  bool m_deleting = false;
};

}  // namespace kov
