// Opening a character near the end of a large vornexchars.scp in the real character info
// window, against grep -c SERIAL= on the same file in the same run, with the peak memory.
//
//   kov-bench-ui_charinfo [--mb N] [--file PATH] [--keep] [--runs N]
#include <QApplication>

#include "CharBench.h"
#include "ui/chars/CharacterWindow.h"
#include "ui/settings/UiText.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  kov::UiText::Instance().RegisterUiTextKeys();
  kov::CharacterWindow window;
  return charbench::Run(argc, argv, "kov-bench-ui_charinfo", "CharacterWindow read",
                        [&](const std::filesystem::path& file, const std::string& uid) {
                          window.SetSaveDir(file.parent_path().string() + "/");
                          window.ReadCharacterFile(QString::fromStdString(uid));
                          int rows = 0;
                          while (!window.SkillRow(rows).join("").isEmpty()) ++rows;
                          return charbench::Shown{rows > 0, window.GeneralText(2).toStdString(),
                                                  static_cast<std::size_t>(rows)};
                        });
}
