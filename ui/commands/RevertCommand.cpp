#include "ui/commands/RevertCommand.h"

#include <QAction>
#include <QDir>
#include <QMenu>

#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "store/RemoveSections.h"
#include "ui/commands/ReviewDialog.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"

namespace kov {

bool ServerAccounts::Load(const QString& accountDir, QString* error) {
  m_table.Empty();
  m_firstByName.clear();
  const std::string path =
      JoinPath(QDir::toNativeSeparators(accountDir).toStdString(), kAccountFileName);
  if (!FileExists(path)) return true;  // no server file: every row is new to it
  const ReadResult r = ReadAccountFile(m_table, path);
  if (r.status == ReadResult::Status::Ok) return true;
  if (error)
    *error = QString::fromStdString(path) + "\n" +
             (r.message.empty() ? Ui("err_file_not_Found") : QString::fromStdString(r.message));
  return false;
}

RowId ServerAccounts::Find(std::string_view name) const {
  // A revert of thousands of rows would scan the file's rows for each; an index of first
  // rows by name is built at the first lookup.
  if (m_firstByName.empty() && m_table.RowCount() > 0) {
    m_firstByName.reserve(static_cast<size_t>(m_table.RowCount()));
    for (RowId row : m_table.Order()) m_firstByName.try_emplace(m_table.Text(row, dbaccount), row);
  }
  const auto it = m_firstByName.find(name);
  return it == m_firstByName.end() ? kNoRow : it->second;
}

std::vector<Field> ComparedFields() {
  std::vector<Field> fields;
  for (int f = 0; f < kFieldCount; ++f)
    if (f != dbstatus && f != dbcounter) fields.push_back(static_cast<Field>(f));
  return fields;
}

RevertCommand::RevertCommand(MainWindow& form) : m_form(form) {
  connect(form.edRevertAccount, &QAction::triggered, this, &RevertCommand::edRevertAccountExecute);
  connect(form.edReviewChanges, &QAction::triggered, this, &RevertCommand::edReviewChangesExecute);
  form.edReviewChanges->setEnabled(true);
  m_form.Table().AddListener(this);
  connect(form.GridView()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &RevertCommand::edRevertAccountUpdate);
  edRevertAccountUpdate();
}

QAction* RevertCommand::Action() const { return m_form.edRevertAccount; }

RevertCommand::~RevertCommand() { m_form.Table().RemoveListener(this); }

void RevertCommand::edRevertAccountUpdate() {
  if (m_reverting) return;
  const AccountTable& t = m_form.Table();
  auto pending = [&t](RowId row) {
    const int s = t.IntOr0(row, dbstatus);
    return s == StatusChanged || s == StatusNew;
  };
  const RowId row = t.Current();
  bool on = row != kNoRow && !t.IsEmpty() && pending(row);
  // The highlighted rows are looked at until the first pending one, as Revert Account
  // reverts them all.
  const AccountGrid* grid = m_form.GridView();
  if (!on && !t.IsEmpty() && grid->HighlightedCount() > 1) {
    for (const QItemSelectionRange& range : grid->selectionModel()->selection()) {
      for (int r = range.top(); !on && r <= range.bottom(); ++r) {
        const RowId at = m_form.Model().RowAt(r);
        on = at != kNoRow && pending(at);
      }
      if (on) break;
    }
  }
  if (m_form.edRevertAccount->isEnabled() != on) m_form.edRevertAccount->setEnabled(on);
}

void RevertCommand::edRevertAccountExecute() {
  const RowId row = m_form.Table().Current();
  if (row == kNoRow || m_form.Table().IsEmpty()) return;
  // Several highlighted rows (a bulk change) are reverted together; otherwise the current.
  std::vector<RowId> rows = m_form.GridView()->SelectedRows();
  if (rows.size() < 2) rows = {row};
  Revert(rows);
}

void RevertCommand::MarkSavedWhenNothingPending() {
  if (!m_form.AnyRowPending()) m_form.SetChangesSaved(true);
}

int RevertCommand::Revert(const std::vector<RowId>& rows, bool askForNew) {
  AccountTable& table = m_form.Table();
  // Checked once at the end, not after each of thousands of stores.
  m_reverting = true;
  struct Done {
    RevertCommand* self;
    ~Done() {
      self->m_reverting = false;
      self->edRevertAccountUpdate();
    }
  } done_{this};
  if (table.GetState() != AccountTable::State::Browse) table.Post();
  std::vector<RowId> changed, added;
  for (RowId row : rows) {
    const int s = table.IntOr0(row, dbstatus);
    if (s == StatusChanged) changed.push_back(row);
    if (s == StatusNew) added.push_back(row);
  }
  int done = 0;
  // A reverted row's section must leave the update file too, or the server would still
  // apply it (and the next load would bring it back); when it cannot, the row stays marked.
  const std::string updateFile =
      JoinPath(QDir::toNativeSeparators(m_form.LoadedAccountDir()).toStdString(), kUpdateFileName);
  auto takeOut = [&](const std::vector<RowId>& of) {
    std::vector<std::string> names;
    for (RowId row : of) names.emplace_back(table.Text(row, dbaccount));
    const RemoveSectionsResult r = RemoveAccountSections(updateFile, names);
    if (!r.ok)
      ShowNotice(&m_form, NoticeKind::Error,
                 FormatText(Ui("ext_Revert_Failed"), {QString::fromStdString(r.error)}));
    return r.ok;
  };
  if (!changed.empty() && !takeOut(changed)) changed.clear();
  if (!changed.empty()) {
    ServerAccounts server;
    QString error;
    if (!server.Load(m_form.LoadedAccountDir(), &error)) {
      ShowNotice(&m_form, NoticeKind::Error, error);
      return 0;
    }
    QStringList missing;
    const AccountTable& file = server.Table();
    std::vector<RowId> reverted;
    for (RowId row : changed) {
      const RowId from = server.Find(table.Text(row, dbaccount));
      if (from == kNoRow) {
        missing << FromCp1252(table.Text(row, dbaccount));
        continue;
      }
      // A row the filter hides stays as it is, as the operator cannot see it change.
      if (table.ViewIndexOf(row) < 0) continue;
      for (Field f : ComparedFields()) {
        if (FieldInfoOf(f).isInteger) {
          if (const auto v = file.Int(from, f))
            table.SetRowInt(row, f, *v);
          else
            table.SetRowNull(row, f);
        } else {
          table.SetRowText(row, f, file.Text(from, f));
        }
      }
      table.SetRowInt(row, dbstatus, StatusStored);
      reverted.push_back(row);
      ++done;
    }
    table.PostRows(reverted);
    if (!missing.isEmpty())
      ShowNotice(&m_form, NoticeKind::Warning,
                 Ui("ext_Review_NotInFile") + ":\n" + missing.join(QStringLiteral("\n")));
  }
  for (RowId row : added) {
    if (table.ViewIndexOf(row) < 0) continue;
    const QString name = FromCp1252(table.Text(row, dbaccount));
    if (askForNew &&
        MessageDialog(FormatText(Ui("ext_Revert_Confirm_New"), {name}), MsgDlgType::Confirmation,
                      MsgDlgBtn::Yes | MsgDlgBtn::No, &m_form, MsgDlgBtn::No) != MsgDlgBtn::Yes)
      continue;
    if (!takeOut({row})) continue;
    table.SetCurrent(row);
    table.Delete();
    ++done;
  }
  m_form.ShowEntryCount(m_form.CountVisibleRows());
  m_form.FillAccountEditor();
  m_form.FillCharacterList();
  MarkSavedWhenNothingPending();
  edRevertAccountUpdate();
  return done;
}

void RevertCommand::edReviewChangesExecute() {
  ReviewDialog dialog(m_form, *this, &m_form);
  if (!dialog.Refill()) return;
  dialog.exec();
}

}  // namespace kov
