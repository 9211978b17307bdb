#include "ui/commands/Commands.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTimer>

#include "ui/chars/CharacterWindow.h"
#include "ui/commands/AccountCommands.h"
#include "ui/commands/BackupCommand.h"
#include "ui/commands/BulkCommand.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/commands/ExportCommands.h"
#include "ui/commands/HistoryWindow.h"
#include "ui/commands/NewAccountDialog.h"
#include "ui/commands/RestoreDialog.h"
#include "ui/commands/RevertCommand.h"
#include "ui/commands/SaveCommand.h"
#include "ui/commands/TakeOverWatch.h"
#include "ui/editor/EditorPanel.h"
#include "ui/mainwindow/InfoBox.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/PreferencesDialog.h"
#include "ui/settings/UiText.h"
#include "ui/settings/UiTextWindows.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"

namespace kov {

Commands::Commands(MainWindow& window) {
  // The registry outlives every window it re-texts.
  auto* uiText = Add(std::make_unique<UiTextWindows>());
  uiText->Add(UiTextWindows::MainWindow, &window, [&window] { window.ApplyUiText(); });
  // Order: new-account dialog, info box, preferences, character window, delete confirmation.
  auto* newAccount = Add(std::make_unique<NewAccountDialog>(
      window.Table(), [&window] { window.FilterReset(); }, &window));
  auto* infoBox = Add(std::make_unique<InfoBox>(QCoreApplication::applicationFilePath(), &window));
  infoBox->SetSettingsFolder(window.ProgramFolder());
  auto* preferences =
      Add(std::make_unique<PreferencesDialog>(window.Settings(), window.LanguageFolder(), *uiText,
                                              window.findChild<EditPopup*>(), &window));
  auto* characters = Add(std::make_unique<CharacterWindow>(&window));
  characters->ConnectCharacterList(*window.Editor(),
                                   [&window] { return window.Settings().SAVEDIR; });
  auto* confirmation = Add(std::make_unique<DeleteConfirmationDialog>(&window));
  uiText->Add(UiTextWindows::CharacterInfo, characters,
              [characters] { characters->ApplyUiText(); });
  uiText->Add(UiTextWindows::NewAccount, newAccount, [newAccount] { newAccount->ApplyUiText(); });
  uiText->Add(UiTextWindows::InfoBox, infoBox, [infoBox] { infoBox->ApplyUiText(); });
  uiText->Add(UiTextWindows::DeleteConfirmation, confirmation,
              [confirmation] { confirmation->ApplyUiText(); });
  // Only the settings change; Reload Accounts reads the new folder.
  QObject::connect(window.edSettingsForm, &QAction::triggered, preferences, [&window, preferences] {
    preferences->Execute();
    // Save, Delete and the watching stay with the loaded shard until the next reload.
    const ProgramSettings& s = window.Settings();
    if (QString::fromStdString(s.ACCOUNTDIR) != window.LoadedAccountDir() ||
        QString::fromStdString(s.VORNEXDIR) != window.LoadedServerPath())
      window.AddLogLine(FormatText(Ui("ext_Log_OtherShard"), {window.LoadedAccountDir()}),
                        LogPane::IconInfo);
  });
  window.edSettingsForm->setEnabled(true);

  // A first start knows no server: say where to begin, and offer the preferences at the
  // server's executable. A kov.ini that names one (the demo's) skips this.
  if (window.FirstStart() && window.Settings().VORNEXDIR.empty()) {
    QTimer::singleShot(0, &window, [&window, preferences] {
      window.AddLogLine(Ui("ext_Welcome"), LogPane::IconInfo);
      window.AddLogLine(
          FormatText(Ui("ext_Welcome_Server"), {Ui("f1_Menu_0_0"), Ui("f1_Action_SettingsForm")}),
          LogPane::IconInfo);
      if (MessageDialog(FormatText(Ui("ext_Welcome_Question"), {Ui("f1_Action_SettingsForm")}),
                        MsgDlgType::Information, MsgDlgBtn::Yes | MsgDlgBtn::No,
                        &window) == MsgDlgBtn::Yes)
        preferences->Execute(preferences->vornexdir());
    });
  }

  Add(std::make_unique<SaveCommand>(window));
  Add(std::make_unique<BackupCommand>(window));
  Add(std::make_unique<AccountCommands>(window, *newAccount, *infoBox, *confirmation));
  Add(std::make_unique<ExportCommands>(window));
  m_revert = Add(std::make_unique<RevertCommand>(window));
  Add(std::make_unique<BulkCommand>(window));
  Add(std::make_unique<TakeOverWatch>(window));

  // The history: all of it, or the current account's from the row's context menu.
  auto showHistory = [&window](const QString& account) {
    HistoryWindow history(window.HistoryPath(), &window);
    history.Reload();
    if (!account.isEmpty()) history.ShowAccount(account);
    history.exec();
  };
  QObject::connect(window.edHistory, &QAction::triggered, &window,
                   [showHistory] { showHistory(QString()); });
  QObject::connect(window.edAccountHistory, &QAction::triggered, &window, [&window, showHistory] {
    const AccountTable& t = window.Table();
    if (t.Current() == kNoRow || t.IsEmpty()) return;
    showHistory(FromCp1252(t.Text(t.Current(), dbaccount)));
  });
  window.edHistory->setEnabled(true);
  window.edAccountHistory->setEnabled(true);

  // Restore: the backup is decoded in memory; what the operator ticks becomes pending rows.
  QObject::connect(window.edRestoreBackup, &QAction::triggered, &window, [&window] {
    if (window.busy || !window.LoadComplete()) return;
    const QString path =
        AskFileName(&window, {FileDialogRequest::Kind::Open, Ui("ext_Restore_Open"),
                              window.ProgramFolder(), Ui("ext_Restore_Filter"), QString()});
    if (path.isEmpty()) return;
    RestoreDialog dialog(window, &window);
    if (!dialog.Open(path)) return;
    dialog.exec();
  });
  window.edRestoreBackup->setEnabled(true);
}

Commands::~Commands() {
  // Later parts may refer to earlier ones: destroy in reverse order.
  while (!m_parts.empty()) m_parts.pop_back();
}

}  // namespace kov
