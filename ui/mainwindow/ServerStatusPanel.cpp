#include "ui/mainwindow/ServerStatusPanel.h"

#include <QDir>
#include <QThread>
#include <QTimer>
#include <memory>

#include "ui/settings/UiText.h"

namespace kov {

ServerStatusPanel::ServerStatusPanel(std::function<std::string()> serverPath, QWidget* parent)
    : QLabel(parent), m_serverPath(std::move(serverPath)) {
  setObjectName(QStringLiteral("ServerPanel"));
  setTextFormat(Qt::PlainText);
  m_timer = new QTimer(this);
  m_timer->setInterval(kIntervalMs);
  connect(m_timer, &QTimer::timeout, this, &ServerStatusPanel::Refresh);
  m_timer->start();
  ApplyUiText();
}

ServerStatusPanel::~ServerStatusPanel() {
  // The worker reports to this panel: it must be done before the panel goes.
  if (m_worker) {
    disconnect(m_worker, nullptr, this, nullptr);
    m_worker->wait();
  }
}

void ServerStatusPanel::Refresh() {
  const std::string path = m_serverPath ? m_serverPath() : std::string();
  IServerConsole& console = CurrentServerConsole();
  if (&console != &PlatformServerConsole()) {
    // A stand-in of the tests: answered at once, and not made to run on another thread.
    Show(console.ProbeServer(path));
    return;
  }
  if (m_worker) return;
  auto result = std::make_shared<ServerProbe>();
  QThread* worker =
      QThread::create([result, path] { *result = PlatformServerConsole().ProbeServer(path); });
  m_worker = worker;
  connect(worker, &QThread::finished, this, [this, result] { Show(*result); });
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  worker->start(QThread::LowPriority);
}

void ServerStatusPanel::Show(const ServerProbe& probe) {
  const std::string path = m_serverPath ? m_serverPath() : std::string();
  if (m_known && probe == m_probe && path == m_path) return;
  m_known = true;
  m_probe = probe;
  m_path = path;
  ApplyUiText();
  emit Changed();
}

void ServerStatusPanel::ApplyUiText() {
  const char* key = "ext_Server_NotSet";
  switch (m_probe.state) {
    case ServerState::NotSet:
      key = "ext_Server_NotSet";
      break;
    case ServerState::NotRunning:
      key = "ext_Server_NotRunning";
      break;
    case ServerState::Stopped:
      key = "ext_Server_Stopped";
      break;
    case ServerState::Unreachable:
      key = "ext_Server_Unreachable";
      break;
    case ServerState::Reachable:
      key = "ext_Server_Running";
      break;
  }
  setText(m_known ? Ui(key) : QString());
  QString tip = QDir::toNativeSeparators(QString::fromLocal8Bit(m_path));
  if (!m_probe.detail.empty()) tip += u'\n' + QString::fromLocal8Bit(m_probe.detail);
  setToolTip(tip.trimmed());
}

}  // namespace kov
