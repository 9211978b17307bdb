#include "ui/commands/BulkCommand.h"

#include <QAction>
#include <QItemSelectionModel>

#include "ui/commands/BulkChangeDialog.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"

namespace kov {

BulkCommand::BulkCommand(MainWindow& form) : m_form(form) {
  auto on = [this](QAction* action, RowEdit edit) {
    connect(action, &QAction::triggered, this, [this, edit] { Run(edit); });
  };
  on(form.edBulkBlock, {RowEdit::Kind::Blocked, true});
  on(form.edBulkUnblock, {RowEdit::Kind::Blocked, false});
  on(form.edBulkJail, {RowEdit::Kind::Jailed, true});
  on(form.edBulkRelease, {RowEdit::Kind::Jailed, false});
  RowEdit level{RowEdit::Kind::Level};
  level.level = 1;  // Player
  on(form.edBulkLevel, level);
  on(form.edBulkFlag, {RowEdit::Kind::Flag, true, EditorPanel::kToggles[0].bit});
  AccountGrid* grid = form.GridView();
  connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &BulkCommand::UpdateEnabled);
  connect(&form.Model(), &QAbstractItemModel::modelReset, this, &BulkCommand::UpdateEnabled);
  connect(&form.Model(), &QAbstractItemModel::rowsRemoved, this, &BulkCommand::UpdateEnabled);
  UpdateEnabled();
}

void BulkCommand::UpdateEnabled() {
  const bool on = !m_form.busy && m_form.GridView()->HighlightedCount() >= 2;
  for (QAction* a : m_form.BulkActions())
    if (a->isEnabled() != on) a->setEnabled(on);
}

bool BulkCommand::Run(const RowEdit& edit) {
  if (m_form.busy) return false;
  AccountGrid* grid = m_form.GridView();
  AccountTable& table = m_form.Table();
  if (table.GetState() != AccountTable::State::Browse) table.Post();
  const std::vector<RowId> highlighted = grid->SelectedRows();
  if (highlighted.size() < 2) return false;
  BulkChangeDialog dialog(table, highlighted, edit, &m_form);
  if (dialog.exec() != QDialog::Accepted) return false;
  const BulkPlan& plan = dialog.Plan();
  if (plan.rows.empty()) return false;
  const QString what = BulkChangeDialog::TransitionText(table, plan);
  ApplyBulkChange(table, plan);
  // A reset (rows that left the filter's view) drops the highlight; the rows still shown get
  // it back, so Revert Account can take the change back at once.
  if (grid->HighlightedCount() != static_cast<int>(highlighted.size()))
    grid->HighlightRows(highlighted);
  m_form.ShowEntryCount(table.ViewCount());
  m_form.FillAccountEditor();
  m_form.FillCharacterList();
  m_form.AddLogLine(FormatText(Ui("ext_Bulk_Log"), {static_cast<int>(plan.rows.size()), what}),
                    LogPane::IconInfo);
  return true;
}

}  // namespace kov
