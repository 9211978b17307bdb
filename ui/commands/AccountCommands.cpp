#include "ui/commands/AccountCommands.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>

#include "console/ServerConsole.h"
#include "store/GeneratePassword.h"
#include "store/LoadAccounts.h"
#include "store/RemoveSections.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/commands/NewAccountDialog.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/InfoBox.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"
#include "ui/widgets/WaitMilliseconds.h"

namespace kov {

namespace {
constexpr int kCommandPause = 50;
}

class AccountCommands::BusyScope {
 public:
  explicit BusyScope(AccountCommands& owner) : m_owner(owner) {
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
    // The rows are gone: Delete Account follows the new current row.
    const AccountTable& t = f.Table();
    if (f.edDeleteAccount)
      f.edDeleteAccount->setEnabled(t.Current() != kNoRow && !t.Text(dbaccount).empty());
    f.busy = false;
    m_owner.m_deleting = false;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  AccountCommands& m_owner;
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
    if (c == ' ')
      return QStringLiteral(
                 "The account \"%1\" was not deleted: its name holds a blank, so the "
                 "server console would take it for another account.")
          .arg(FromCp1252(name));
    if (c < 0x20 || c == 0x7F)
      return QStringLiteral(
                 "The account \"%1\" was not deleted: its name holds a control "
                 "character, which cannot be typed into the server console.")
          .arg(FromCp1252(name));
  }
  return {};
}

void AccountCommands::edDeleteAccountExecute() {
  if (m_window.busy || m_deleting) return;
  AccountTable& table = m_window.Table();
  // The server of the shard that was loaded: a same-named account elsewhere is not this one.
  const std::string server = m_window.LoadedServerPath().toStdString();
  if (!IsServerRunning(server)) {
    MessageDialog(Ui("err_Account_Delete"), MsgDlgType::Warning, MsgDlgBtn::OK, &m_window);
    return;
  }

  m_confirmation.ClearList();
  const std::vector<RowId> selected = SelectedRows();
  if (selected.size() < 2) {
    if (table.Current() == kNoRow) return;
    m_confirmation.AddItem(std::string(table.Text(dbaccount)), true);
  } else {
    for (RowId row : selected)
      m_confirmation.AddItem(std::string(table.Text(row, dbaccount)), true);
  }
  m_confirmation.exec();
  if (m_confirmation.Count() == 0) return;

  BusyScope busy(*this);
  std::vector<std::string> deleted;
  QStringList refusals;
  for (int i = 0; i < m_confirmation.Count(); ++i) {
    const std::string name = m_confirmation.ItemName(i);
    // The entry's row, by its exact name within what the grid shows.
    if (!m_confirmation.IsChecked(i) || !table.Locate(name)) continue;
    const RowId row = table.Current();
    const QString refusal = NameRefusal(name);
    if (!refusal.isEmpty()) {
      refusals << refusal;
      continue;
    }
    const std::string command = "ACCOUNT " + name + " DELETE";
    m_window.AddLogLine(QStringLiteral("Send: ") + FromCp1252(command), LogPane::IconOut);
    const ConsoleResult sent = SendConsoleCommand(command, server);
    if (sent.Delivered()) {
      // Removed at once, before the pause lets the operator move the cursor.
      if (table.Current() == row) {
        table.Delete();
        deleted.push_back(name);
      }
    } else {
      ShowNotice(&m_window, NoticeKind::Warning, QString::fromStdString(sent.NoticeText()));
    }
    WaitMilliseconds(kCommandPause);
  }
  WaitMilliseconds(kCommandPause);

  bool sendUpdate = true;
  if (!deleted.empty()) {
    // A pending section of a deleted account would bring it back with "A".
    const std::string path = JoinPath(
        QDir::toNativeSeparators(m_window.LoadedAccountDir()).toStdString(), kUpdateFileName);
    const RemoveSectionsResult removed = RemoveAccountSections(path, deleted);
    if (!removed.ok) {
      sendUpdate = false;
      ShowNotice(&m_window, NoticeKind::Warning,
                 QStringLiteral("The deleted accounts could not be taken out of %1:\n%2\n\n"
                                "\"A\" was not sent, so the server does not take them over "
                                "again; remove their sections before the next world save.")
                     .arg(QString::fromStdString(path), QString::fromStdString(removed.error)));
    } else if (removed.removed > 0) {
      m_window.AddLogLine(QStringLiteral("Removed %1 pending section(s) of deleted accounts: %2")
                              .arg(removed.removed)
                              .arg(QString::fromStdString(path)),
                          LogPane::IconInfo);
    }
  }
  if (sendUpdate) {
    const ConsoleResult sent = SendConsoleCommand("A", server);
    m_window.AddLogLine(QStringLiteral("Send: A (Account Update)"), LogPane::IconOut);
    if (!sent.Delivered())
      ShowNotice(&m_window, NoticeKind::Warning, QString::fromStdString(sent.NoticeText()));
  }
  if (!refusals.isEmpty())
    ShowNotice(&m_window, NoticeKind::Warning, refusals.join(QStringLiteral("\n")));
  m_window.ShowEntryCount(m_window.CountVisibleRows());
}

}  // namespace kov
