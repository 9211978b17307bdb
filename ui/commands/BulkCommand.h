#pragma once
// Block, Unblock, Jail, Release, Set Level... and Set or Clear a flag... on every
// highlighted row at once. Each shows its preview first (BulkChangeDialog); Apply stores the
// previewed values as pending changes that Save sends and Revert Account takes back.
#include <QObject>

#include "store/RowEdits.h"

namespace kov {

class MainWindow;

class BulkCommand : public QObject {
  Q_OBJECT

 public:
  explicit BulkCommand(MainWindow& form);

  // Previews `edit` on the highlighted rows and stores it once the operator applies it;
  // true when rows were changed.
  bool Run(const RowEdit& edit);

 public slots:
  // Several highlighted rows, and no deletion running.
  void UpdateEnabled();

 private:
  MainWindow& m_form;
};

}  // namespace kov
