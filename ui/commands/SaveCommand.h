#pragma once
#include <QObject>

namespace kov {

class MainWindow;

// "Save" (edLiveUpdate) and the save behind Yes on closing: writes the pending rows into the
// update file of the folder the table was loaded from and tells the server when it runs.
class SaveCommand : public QObject {
  Q_OBJECT

 public:
  explicit SaveCommand(MainWindow& form);

  // True when the update file was written; the operator has been told otherwise.
  bool Save();

 public slots:
  void edLiveUpdateExecute();

 private:
  MainWindow& m_form;
};

}  // namespace kov
