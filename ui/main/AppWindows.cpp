#include "ui/main/AppWindows.h"

#include <QCoreApplication>

#include "ui/main/AccountCommands.h"
#include "ui/main/EditPopup.h"
#include "ui/main/ExportCommands.h"
#include "ui/main/ExtraCommands.h"
#include "ui/chars/TCharInfoForm.h"
#include "ui/main/EditorPanel.h"
#include "ui/main/TForm1.h"
#include "ui/main/TForm2.h"
#include "ui/settings/TForm3.h"
#include "ui/settings/TForm6.h"
#include "ui/settings/TPrefsForm.h"
#include "ui/settings/UiTextWindows.h"

namespace kov {

AppWindows::AppWindows(TForm1& form1) {
  // A language switch re-texts the windows in the order of UiTextWindows::Place; each window
  // registers there (the registry outlives them all).
  auto* uiText = Add(std::make_unique<UiTextWindows>());
  uiText->Add(UiTextWindows::MainWindow, &form1, [&form1] { form1.ApplyUiText(); });
  // Order: new-account dialog, info box, preferences, character window, delete confirmation.
  auto* form2 = Add(std::make_unique<TForm2>(
      form1.Table(), [&form1] { form1.FilterReset(); }, &form1));
  auto* form3 = Add(std::make_unique<TForm3>(QCoreApplication::applicationFilePath(), &form1));
  form3->SetSettingsFolder(form1.ProgramFolder());
  auto* prefs = Add(std::make_unique<TPrefsForm>(form1.Settings(), form1.LanguageFolder(), *uiText,
                                                 form1.findChild<EditPopup*>(), &form1));
  auto* charInfo = Add(std::make_unique<TCharInfoForm>(&form1));
  charInfo->ConnectCharacterList(*form1.Editor(), [&form1] { return form1.Settings().SAVEDIR; });
  auto* form6 = Add(std::make_unique<TForm6>(&form1));
  uiText->Add(UiTextWindows::CharacterInfo, charInfo, [charInfo] { charInfo->ApplyUiText(); });
  uiText->Add(UiTextWindows::NewAccount, form2, [form2] { form2->ApplyUiText(); });
  uiText->Add(UiTextWindows::InfoBox, form3, [form3] { form3->ApplyUiText(); });
  uiText->Add(UiTextWindows::DeleteConfirmation, form6, [form6] { form6->ApplyUiText(); });
  // Only the settings change; Reload Accounts reads the new folder.
  QObject::connect(form1.edSettingsForm, &QAction::triggered, prefs, &TPrefsForm::Execute);
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
