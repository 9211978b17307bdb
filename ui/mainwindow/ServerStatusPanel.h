#pragma once
// The status bar's word on the server of the loaded shard: not set, not running, stopped,
// running with its console out of reach, or running. Looked at every few seconds on a
// worker thread (tmux and screen may take a moment to answer), and at once from what a send
// reported.
#include <QLabel>
#include <QPointer>
#include <functional>
#include <string>

#include "console/ServerConsole.h"

class QThread;
class QTimer;

namespace kov {

class ServerStatusPanel : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 3000;

  // `serverPath`: the executable whose process is looked for, asked at every look.
  ServerStatusPanel(std::function<std::string()> serverPath, QWidget* parent = nullptr);
  ~ServerStatusPanel() override;

  // Looks now (without waiting when a look is already under way).
  void Refresh();
  // A send's result is the freshest news there is.
  void Show(const ServerProbe& probe);
  void Show(const ConsoleResult& sent) {
    if (auto probe = ProbeOf(sent)) Show(*probe);
  }
  ServerProbe Current() const { return m_probe; }
  void ApplyUiText();

 signals:
  void Changed();

 private:
  std::function<std::string()> m_serverPath;
  QTimer* m_timer = nullptr;
  QPointer<QThread> m_worker;
  ServerProbe m_probe{ServerState::NotSet, {}};
  std::string m_path;
  bool m_known = false;
};

}  // namespace kov
