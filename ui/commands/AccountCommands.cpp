#include "ui/commands/AccountCommands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <algorithm>

#include "console/ServerConsole.h"
#include "store/Cp1252.h"
#include "store/GeneratePassword.h"
#include "store/History.h"
#include "store/LoadAccounts.h"
#include "store/RemoveSections.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/commands/NewAccountDialog.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/InfoBox.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/mainwindow/ServerStatusPanel.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/widgets/Text1252.h"
#include "ui/widgets/WaitMilliseconds.h"

namespace kov {

namespace {
constexpr int kCommandPause = 50;

// Swallows the operator's input to the main window and its menus. The pauses between the
// accounts of a deletion run the event loop, and a click there would change the table, the
// view or the current row under the deletion.
class InputHold : public QObject {
 public:
  explicit InputHold(QWidget& window) : m_window(window) { qApp->installEventFilter(this); }
  ~InputHold() override { qApp->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject* target, QEvent* event) override {
    switch (event->type()) {
      case QEvent::ShortcutOverride:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::DragEnter:
      case QEvent::Drop:
      case QEvent::TouchBegin:
        break;
      default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(target);
    if (!widget || (widget->window() != &m_window && !qobject_cast<QMenu*>(widget->window())))
      return false;
    // An accepted override keeps the key from becoming a shortcut; the key itself is then
    // swallowed as well.
    event->accept();
    return true;
  }

 private:
  QWidget& m_window;
};
}  // namespace

class AccountCommands::BusyScope {
 public:
  explicit BusyScope(AccountCommands& owner) : m_owner(owner), m_hold(owner.m_window) {
    MainWindow& f = owner.m_window;
    owner.m_deleting = true;
    f.busy = true;
    for (QAction* a : {f.edNewAccount, f.edDeleteAccount, f.edReloadAcc, f.edLiveUpdate,
                       f.edMakeBackup, f.edSettingsForm, f.edClose}) {
      if (!a) continue;
      m_actions.push_back({a, a->isEnabled()});
      a->setEnabled(false);
    }
  }
  ~BusyScope() {
    MainWindow& f = m_owner.m_window;
    for (const auto& [action, enabled] : m_actions)
      if (action) action->setEnabled(enabled);
    f.busy = false;
    m_owner.m_deleting = false;
    // The rows are gone: Delete Account follows the new current row and the highlight.
    m_owner.UpdateDeleteEnabled();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  AccountCommands& m_owner;
  InputHold m_hold;
  std::vector<std::pair<QPointer<QAction>, bool>> m_actions;
};

AccountCommands::AccountCommands(MainWindow& window, NewAccountDialog& newAccount, InfoBox& infoBox,
                                 DeleteConfirmationDialog& confirmation)
    : m_window(window), m_newAccount(newAccount), m_infoBox(infoBox), m_confirmation(confirmation) {
  setObjectName(QStringLiteral("AccountCommands"));
  connect(window.edNewAccount, &QAction::triggered, this, &AccountCommands::edNewAccountExecute);
  connect(window.edDeleteAccount, &QAction::triggered, this,
          &AccountCommands::edDeleteAccountExecute);
  connect(window.edHelp, &QAction::triggered, this, &AccountCommands::edHelpExecute);
  if (QItemSelectionModel* selection = window.Grid()->selectionModel())
    connect(selection, &QItemSelectionModel::selectionChanged, this,
            &AccountCommands::UpdateDeleteEnabled);
  window.edNewAccount->setEnabled(true);
  window.edHelp->setEnabled(true);
  if (EditorPanel* editor = window.Editor())
    editor->passwordGenerator = [] { return GeneratePassword(6); };
  if (auto* popup = window.findChild<EditPopup*>()) {
    popup->Attach(newAccount.eAccount());
    popup->Attach(newAccount.ePassword());
  }
}

AccountCommands::~AccountCommands() = default;

void AccountCommands::edNewAccountExecute() {
  if (m_window.busy) return;
  m_newAccount.exec();
  m_window.FillAccountEditor();
  m_window.FillCharacterList();
  m_window.ShowEntryCount(m_window.CountVisibleRows());
}

void AccountCommands::edHelpExecute() { m_infoBox.exec(); }

void AccountCommands::UpdateDeleteEnabled() {
  if (m_deleting || !m_window.edDeleteAccount) return;
  const AccountTable& t = m_window.Table();
  QItemSelectionModel* selection = m_window.Grid()->selectionModel();
  const bool highlighted = selection && selection->hasSelection();
  m_window.edDeleteAccount->setEnabled(highlighted && t.Current() != kNoRow &&
                                       !t.Text(dbaccount).empty());
}

std::vector<RowId> AccountCommands::SelectedRows() const {
  std::vector<int> rows;
  if (QItemSelectionModel* s = m_window.Grid()->selectionModel())
    for (const QModelIndex& i : s->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  std::vector<RowId> out;
  for (int r : rows) {
    const RowId id = m_window.Model().RowAt(r);
    if (id != kNoRow) out.push_back(id);
  }
  return out;
}

QString AccountCommands::NameRefusal(const std::string& name) {
  for (const unsigned char c : name) {
    if (c == ' ') return FormatText(Ui("ext_Delete_Blank"), {FromCp1252(name)});
    if (c < 0x20 || c == 0x7F) return FormatText(Ui("ext_Delete_Control"), {FromCp1252(name)});
  }
  return {};
}

void AccountCommands::edDeleteAccountExecute() {
  if (m_window.busy || m_deleting) return;
  AccountTable& table = m_window.Table();
  // The server of the shard that was loaded: a same-named account elsewhere is not this one.
  const std::string server = m_window.LoadedServerPath().toStdString();
  if (!IsServerRunning(server)) {
    m_window.ServerStatus()->Show(ServerProbe{ServerState::NotRunning, {}});
    MessageDialog(Ui("err_Account_Delete"), MsgDlgType::Warning, MsgDlgBtn::OK, &m_window);
    return;
  }

  m_confirmation.ClearList();
  // The accounts are fixed here, by row, in the order the confirmation lists them.
  // The highlighted rows; with none highlighted, the current row.
  // The highlighted rows and no other: with none highlighted there is nothing to delete.
  std::vector<RowId> rows = SelectedRows();
  if (rows.empty()) return;
  std::vector<std::string> names;
  for (RowId row : rows) {
    names.emplace_back(table.Text(row, dbaccount));
    m_confirmation.AddItem(names.back(), true);
  }
  m_confirmation.exec();
  if (m_confirmation.Count() != static_cast<int>(rows.size())) return;

  std::vector<int> confirmed;
  for (int i = 0; i < m_confirmation.Count(); ++i)
    if (m_confirmation.IsChecked(i)) confirmed.push_back(i);
  if (confirmed.empty()) return;

  BusyScope busy(*this);
  ProgressWindow& progress = m_window.Progress();
  progress.SetRange(0, static_cast<qint64>(confirmed.size()));
  progress.SetPosition(0);
  progress.ShowOverOwner();
  std::vector<std::string> deleted;
  const SaveHistory history = m_window.HistoryContext();
  std::vector<HistoryRecord> deletions;
  QStringList notDeleted;
  auto refuse = [&](const QString& why) {
    notDeleted << why;
    m_window.AddLogLine(why, LogPane::IconInfo);
  };
  int done = 0;
  for (int i : confirmed) {
    const RowId row = rows[static_cast<size_t>(i)];
    const std::string& name = names[static_cast<size_t>(i)];
    progress.SetText(
        FormatText(Ui("ext_Delete_Progress"), {FromCp1252(name), done + 1, int(confirmed.size())}));
    progress.SetPosition(done++);
    const QString refusal = NameRefusal(name);
    if (!refusal.isEmpty()) {
      refuse(refusal);
      continue;
    }
    if (table.ViewIndexOf(row) < 0 || table.Text(row, dbaccount) != name) {
      refuse(FormatText(Ui("ext_Delete_Gone"), {FromCp1252(name)}));
      continue;
    }
    const std::string command = "ACCOUNT " + name + " DELETE";
    m_window.AddLogLine(FormatText(Ui("ext_Log_Send"), {FromCp1252(command)}), LogPane::IconOut);
    const ConsoleResult sent = SendConsoleCommand(command, server);
    m_window.ServerStatus()->Show(sent);
    if (sent.Delivered()) {
      HistoryRecord record;
      record.time = HistoryTimeNow();
      record.user = history.user;
      record.shard = history.shard;
      record.account = Cp1252ToUtf8(name);
      record.action = kHistoryDelete;
      record.oldValue = Cp1252ToUtf8(table.DisplayText(row, dbplevel));
      record.takenOver = true;  // the server deletes it as the command arrives
      deletions.push_back(std::move(record));
      // Removed at once, before the pause runs the event loop.
      table.SetCurrent(row);
      table.Delete();
      deleted.push_back(name);
    } else {
      refuse(FormatText(Ui("ext_Delete_NotDeleted"),
                        {FromCp1252(name), QString::fromStdString(sent.NoticeText())}));
    }
    WaitMilliseconds(kCommandPause);
  }
  progress.SetPosition(done);
  WaitMilliseconds(kCommandPause);
  progress.Close();
  std::string historyError;
  if (!AppendHistory(history.path, deletions, historyError))
    m_window.AddLogLine(
        FormatText(Ui("ext_Log_HistoryFailed"), {QString::fromStdString(historyError)}),
        LogPane::IconInfo);

  bool sendUpdate = true;
  if (!deleted.empty()) {
    // A pending section of a deleted account would bring it back with "A".
    const std::string path = JoinPath(
        QDir::toNativeSeparators(m_window.LoadedAccountDir()).toStdString(), kUpdateFileName);
    const RemoveSectionsResult removed = RemoveAccountSections(path, deleted);
    if (!removed.ok) {
      sendUpdate = false;
      ShowNotice(&m_window, NoticeKind::Warning,
                 FormatText(Ui("ext_Delete_SectionsKept"), {QString::fromStdString(path)}) + u'\n' +
                     QString::fromStdString(removed.error) + QStringLiteral("\n\n") +
                     Ui("ext_Delete_SectionsKeptWhy"));
    } else if (removed.removed > 0) {
      m_window.AddLogLine(FormatText(Ui("ext_Log_SectionsRemoved"),
                                     {removed.removed, QString::fromStdString(path)}),
                          LogPane::IconInfo);
    }
  }
  if (sendUpdate) {
    const ConsoleResult sent = SendConsoleCommand("A", server);
    m_window.ServerStatus()->Show(sent);
    if (sent.Delivered()) {
      m_window.AddLogLine(Ui("ext_Log_SendA"), LogPane::IconOut);
    } else {
      const QString text = QString::fromStdString(sent.NoticeText());
      m_window.ReportNotSent(text, QString(text).replace(u'\n', u' '));
    }
  }
  if (!notDeleted.isEmpty())
    ShowNotice(&m_window, NoticeKind::Warning, notDeleted.join(QStringLiteral("\n")));
  m_window.ShowEntryCount(m_window.CountVisibleRows());
}

}  // namespace kov
