#include "ui/commands/TakeOverWatch.h"

#include <QDir>

#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"

namespace kov {

namespace {
constexpr int kSettleMilliseconds = 150;
constexpr int kPollMilliseconds = 2000;
}  // namespace

TakeOverWatch::TakeOverWatch(MainWindow& window) : m_window(window) {
  setObjectName(QStringLiteral("TakeOverWatch"));
  m_settle.setSingleShot(true);
  m_settle.setInterval(kSettleMilliseconds);
  connect(&m_settle, &QTimer::timeout, this, &TakeOverWatch::Check);
  connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle,
          qOverload<>(&QTimer::start));
  connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
  m_poll.setInterval(kPollMilliseconds);
  connect(&m_poll, &QTimer::timeout, this, &TakeOverWatch::Check);
  // The folder of the table being shown, from every load on.
  connect(&window, &MainWindow::AccountsLoaded, this, &TakeOverWatch::Arm);
  Arm();
}

void TakeOverWatch::Arm() {
  const std::string dir = QDir::toNativeSeparators(m_window.LoadedAccountDir()).toStdString();
  m_accountFile = JoinPath(dir, kAccountFileName);
  m_updateFile = JoinPath(dir, kUpdateFileName);
  if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
  if (!m_watcher.files().isEmpty()) m_watcher.removePaths(m_watcher.files());
  if (!dir.empty() && QDir(m_window.LoadedAccountDir()).exists()) {
    // A file replaced by rename is a new file: the folder's signal catches that.
    m_watcher.addPath(m_window.LoadedAccountDir());
    if (FileExists(m_updateFile)) m_watcher.addPath(QString::fromStdString(m_updateFile));
  }
  m_accountVersion = VersionOfPath(m_accountFile);
  m_updateVersion = VersionOfPath(m_updateFile);
  m_hiddenLeft = false;
  m_poll.start();
}

void TakeOverWatch::Check() {
  // Not while a deletion runs or a row is being edited: marking rows moves the current row.
  if (m_accountFile.empty() || m_window.busy ||
      m_window.Table().GetState() != AccountTable::State::Browse)
    return;
  // The folder may have been re-created; watch it again.
  if (m_watcher.directories().isEmpty() && QDir(m_window.LoadedAccountDir()).exists())
    m_watcher.addPath(m_window.LoadedAccountDir());
  const FileVersion update = VersionOfPath(m_updateFile);
  if (update != m_updateVersion || m_hiddenLeft) {
    m_updateVersion = update;
    int hidden = 0;
    const int taken = MarkTakenOver(m_window.Table(), m_updateFile, &hidden);
    m_hiddenLeft = hidden > 0;
    if (taken > 0)
      m_window.AddLogLine(FormatText(Ui("ext_Log_TakenOverLater"), {taken}), LogPane::IconOut);
  }
  const FileVersion account = VersionOfPath(m_accountFile);
  if (account != m_accountVersion) {
    const bool known = m_accountVersion.known;
    m_accountVersion = account;
    if (known && account.known) m_window.AddLogLine(Ui("ext_Log_WorldSave"), LogPane::IconInfo);
  }
}

}  // namespace kov
