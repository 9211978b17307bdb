#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>

#ifndef _WIN32
#include <unistd.h>

#include <csignal>
#endif

#include "settings/ProgramFolders.h"
#include "ui/commands/Commands.h"
#include "ui/mainwindow/MainWindow.h"

namespace {

#ifndef _WIN32
int g_signalPipe[2] = {-1, -1};
bool g_terminated = false;

void OnTerminate(int) {
  const char c = 1;
  (void)!::write(g_signalPipe[1], &c, 1);
}

// SIGTERM (a logout, a service manager) closes the window the normal way, so kov.ini is
// written; a second signal while the close question is open ends the program at once.
void CloseOnTerminate(QApplication& app) {
  if (::pipe(g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
    char c;
    (void)!::read(g_signalPipe[0], &c, 1);
    if (g_terminated) QApplication::exit(0);
    g_terminated = true;
    QApplication::closeAllWindows();
  });
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vornex Account Manager");
  QApplication::setApplicationVersion(KOV_VERSION);
  QApplication::setDesktopFileName("vornex-account-manager");
  QApplication::setWindowIcon(QIcon::fromTheme("vornex-account-manager"));

  QCommandLineParser parser;
  parser.setApplicationDescription("Manages the accounts of a VornexServer game server.");
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption home("home",
                          "Use DIR instead of the program's folder for kov.ini, "
                          "the language files and backups.",
                          "DIR");
  parser.addOption(home);
  parser.process(app);

  std::optional<std::string> homeDir;
  if (parser.isSet(home)) {
    const QString dir = QDir(parser.value(home)).absolutePath();
    QDir().mkpath(dir);
    homeDir = QDir::toNativeSeparators(dir).toStdString();
  }
  const kov::ProgramFolders folders = kov::ResolveProgramFolders(
      QDir::toNativeSeparators(QApplication::applicationDirPath()).toStdString(), homeDir);
#ifndef _WIN32
  CloseOnTerminate(app);
#endif

  // The main window runs the whole start-up before any other window exists.
  kov::MainWindow window(QString::fromStdString(folders.home), nullptr,
                         QString::fromStdString(folders.languages));
  kov::Commands commands(window);
  window.show();
#ifndef _WIN32
  // A signal that arrived during start-up (a notice was open) closes the window now.
  if (g_terminated) QTimer::singleShot(0, &window, &QWidget::close);
#endif
  return app.exec();
}
