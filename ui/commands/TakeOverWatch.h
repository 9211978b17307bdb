#pragma once
// Watches the loaded shard's account folder while the program runs: when the server takes
// the update file over (at a world save, or after a deletion's "A"), the rows whose sections
// it took become stored, with a log line; when it rewrites its account file, the log says
// that Reload Accounts shows the new state (pending rows stay until the operator reloads).
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include "store/Files.h"

namespace kov {

class MainWindow;

class TakeOverWatch : public QObject {
  Q_OBJECT

 public:
  explicit TakeOverWatch(MainWindow& window);

  // Looks at the files now (the watcher's and the poll's signals end here).
  void Check();

 private:
  void Arm();

  MainWindow& m_window;
  QFileSystemWatcher m_watcher;
  QTimer m_settle;  // one look after a burst of changes
  QTimer m_poll;    // where watching fails (network folders), a cheap look now and then
  std::string m_accountFile;
  std::string m_updateFile;
  FileVersion m_accountVersion;
  FileVersion m_updateVersion;
  bool m_hiddenLeft = false;  // taken over, but hidden by the tabs or the search: look again
};

}  // namespace kov
