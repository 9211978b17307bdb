#include "ui/main/AppWindows.h"

#include <QCoreApplication>

#include "ui/main/AccountCommands.h"
#include "ui/main/ExportCommands.h"
#include "ui/main/TForm1.h"
#include "ui/main/TForm2.h"
#include "ui/settings/TForm3.h"
#include "ui/settings/TForm6.h"

namespace kov {

AppWindows::AppWindows(TForm1& form1) {
  // Order: new-account dialog, info box, preferences, character window, delete confirmation.
  auto* form2 = Add(std::make_unique<TForm2>(
      form1.Table(), [&form1] { form1.FilterReset(); }, &form1));
  auto* form3 = Add(std::make_unique<TForm3>(QCoreApplication::applicationFilePath(), &form1));
  auto* form6 = Add(std::make_unique<TForm6>(&form1));
  QObject::connect(&form1, &TForm1::UiTextApplied, form2, &TForm2::ApplyUiText);
  QObject::connect(&form1, &TForm1::UiTextApplied, form3, &TForm3::ApplyUiText);
  QObject::connect(&form1, &TForm1::UiTextApplied, form6, &TForm6::ApplyUiText);
  Add(std::make_unique<AccountCommands>(form1, *form2, *form3, *form6));
  Add(std::make_unique<ExportCommands>(form1));
}

AppWindows::~AppWindows() {
  // Later windows may refer to earlier ones: destroy in reverse order.
  while (!m_parts.empty()) m_parts.pop_back();
}

}  // namespace kov
