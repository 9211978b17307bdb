#pragma once
// "Revert Account": a changed row gets back what the server's account file holds, a new row
// goes after a question. Also the server file snapshot the change review compares with.
#include <QObject>
#include <QString>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/AccountTable.h"

class QAction;

namespace kov {

class MainWindow;

// The server's account file of the loaded folder, read afresh into a table of its own.
class ServerAccounts {
 public:
  // False with `error` set when the file cannot be read whole.
  bool Load(const QString& accountDir, QString* error);
  // The first row so named (exact bytes), or kNoRow.
  RowId Find(std::string_view name) const;
  const AccountTable& Table() const { return m_table; }

 private:
  AccountTable m_table;
  mutable std::unordered_map<std::string_view, RowId> m_firstByName;
};

// The fields the operator can see differ between a row and its server row (the status and
// the computed day counter left out).
std::vector<Field> ComparedFields();

class RevertCommand : public QObject, private AccountTable::Listener {
  Q_OBJECT

 public:
  explicit RevertCommand(MainWindow& form);
  ~RevertCommand() override;

  QAction* Action() const;
  // Reverts the rows (changed: the file's values and status 0; new: removed once the
  // operator agreed). Returns how many rows were reverted or removed.
  int Revert(const std::vector<RowId>& rows, bool askForNew = true);
  // "Status: saved" again once no row is pending.
  void MarkSavedWhenNothingPending();

 public slots:
  void edRevertAccountExecute();
  void edRevertAccountUpdate();
  // "Review Changes...": the pending rows beside the server's, to revert or save.
  void edReviewChangesExecute();

 private:
  void CurrentChanged() override { edRevertAccountUpdate(); }
  void AfterPost(RowId) override { edRevertAccountUpdate(); }
  void ViewReset() override { edRevertAccountUpdate(); }

  MainWindow& m_form;
  bool m_reverting = false;
};

}  // namespace kov
