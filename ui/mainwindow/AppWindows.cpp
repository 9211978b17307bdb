#include "ui/mainwindow/AppWindows.h"

#include <QCoreApplication>

#include "ui/commands/AccountCommands.h"
#include "ui/widgets/EditPopup.h"
#include "ui/commands/ExportCommands.h"
#include "ui/commands/ExtraCommands.h"
#include "ui/chars/CharacterWindow.h"
#include "ui/editor/EditorPanel.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/commands/NewAccountDialog.h"
#include "ui/mainwindow/InfoBox.h"
#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/settings/PreferencesDialog.h"
#include "ui/settings/UiTextWindows.h"

namespace kov {

AppWindows::AppWindows(MainWindow& form1) {
  // A language switch re-texts the windows in the order of UiTextWindows::Place; each window
  // registers there (the registry outlives them all).
  auto* uiText = Add(std::make_unique<UiTextWindows>());
  uiText->Add(UiTextWindows::MainWindow, &form1, [&form1] { form1.ApplyUiText(); });
  // Order: new-account dialog, info box, preferences, character window, delete confirmation.
  auto* form2 = Add(std::make_unique<NewAccountDialog>(
      form1.Table(), [&form1] { form1.FilterReset(); }, &form1));
  auto* form3 = Add(std::make_unique<InfoBox>(QCoreApplication::applicationFilePath(), &form1));
  form3->SetSettingsFolder(form1.ProgramFolder());
  auto* prefs = Add(std::make_unique<PreferencesDialog>(form1.Settings(), form1.LanguageFolder(), *uiText,
                                                 form1.findChild<EditPopup*>(), &form1));
  auto* charInfo = Add(std::make_unique<CharacterWindow>(&form1));
  charInfo->ConnectCharacterList(*form1.Editor(), [&form1] { return form1.Settings().SAVEDIR; });
  auto* form6 = Add(std::make_unique<DeleteConfirmationDialog>(&form1));
  uiText->Add(UiTextWindows::CharacterInfo, charInfo, [charInfo] { charInfo->ApplyUiText(); });
  uiText->Add(UiTextWindows::NewAccount, form2, [form2] { form2->ApplyUiText(); });
  uiText->Add(UiTextWindows::InfoBox, form3, [form3] { form3->ApplyUiText(); });
  uiText->Add(UiTextWindows::DeleteConfirmation, form6, [form6] { form6->ApplyUiText(); });
  // Only the settings change; Reload Accounts reads the new folder.
  QObject::connect(form1.edSettingsForm, &QAction::triggered, prefs, &PreferencesDialog::Execute);
  form1.edSettingsForm->setEnabled(true);
  Add(std::make_unique<AccountCommands>(form1, *form2, *form3, *form6));
  Add(std::make_unique<ExportCommands>(form1));
  Add(std::make_unique<ExtraCommands>(form1));
}

AppWindows::~AppWindows() {
  // Later windows may refer to earlier ones: destroy in reverse order.
  while (!m_parts.empty()) m_parts.pop_back();
}

}  // namespace kov
