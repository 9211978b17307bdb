#pragma once
// The preview of a change of the highlighted rows: how many accounts change, from which
// value to which ("12 accounts: BLOCK 0 -> 1"), each account's old and new value, and the
// rows left as they are. Nothing is stored until the operator presses Apply; "Set Level..."
// and "Set or Clear a flag..." pick their value here, and the preview follows the pick.
#include <QDialog>
#include <vector>

#include "store/RowEdits.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace kov {

class BulkChangeDialog : public QDialog {
  Q_OBJECT

 public:
  // `rows` are the highlighted rows, in view order.
  BulkChangeDialog(const AccountTable& table, std::vector<RowId> rows, const RowEdit& edit,
                   QWidget* parent = nullptr);

  const BulkPlan& Plan() const { return m_plan; }
  // The headline, "12 accounts: BLOCK 0 -> 1", as shown.
  QString Heading() const;
  QLabel* HeadingLabel() const { return m_heading; }
  QLabel* NotesLabel() const { return m_notes; }
  QTreeWidget* List() const { return m_list; }
  QComboBox* LevelChoice() const { return m_level; }
  QComboBox* FlagChoice() const { return m_flag; }
  QComboBox* SetOrClearChoice() const { return m_setOrClear; }
  QPushButton* ApplyButton() const { return m_apply; }
  QPushButton* CancelButton() const { return m_cancel; }

  // The summary of the plan's transitions after the count: "BLOCK 0 -> 1", several joined
  // with their counts ("PRIV $00000 -> $00002 (8), $00008 -> $0000A (4)").
  static QString TransitionText(const AccountTable& table, const BulkPlan& plan);

 private:
  void Replan();
  RowEdit ChosenEdit() const;

  const AccountTable& m_table;
  std::vector<RowId> m_rows;
  RowEdit m_edit;
  BulkPlan m_plan;
  QComboBox* m_level = nullptr;
  QComboBox* m_flag = nullptr;
  QComboBox* m_setOrClear = nullptr;
  QLabel* m_heading = nullptr;
  QLabel* m_notes = nullptr;
  QTreeWidget* m_list = nullptr;
  QPushButton* m_apply = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace kov
