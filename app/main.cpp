#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include "ui/main/AppWindows.h"
#include "ui/main/TForm1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vornex Account Manager");
  QApplication::setApplicationVersion(KOV_VERSION);

  QCommandLineParser parser;
  parser.setApplicationDescription("Manages the accounts of a VornexServer game server.");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption home("home", "Use DIR instead of the program's folder for kov.ini, "
                                  "the language files and backups.", "DIR");
  parser.addOption(home);
  parser.process(app);

  QString folder = parser.isSet(home) ? parser.value(home) : QApplication::applicationDirPath();
  folder = QDir(folder).absolutePath();
  if (!QDir(folder).exists()) QDir().mkpath(folder);

  // The main window runs the whole start-up before any other window exists.
  kov::TForm1 form1(folder);
  kov::AppWindows windows(form1);
  form1.show();
  return app.exec();
}
