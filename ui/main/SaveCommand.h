#pragma once
#include <QObject>

namespace kov {

class TForm1;

// "Save" (edLiveUpdate) and the save behind Yes on closing: writes the pending rows into the
// update file of the folder the table was loaded from and tells the server when it runs.
class SaveCommand : public QObject {
  Q_OBJECT

 public:
  explicit SaveCommand(TForm1& form);

  // True when the update file was written; the operator has been told otherwise.
  bool Save();

 public slots:
  void edLiveUpdateExecute();

 private:
  TForm1& m_form;
};

}  // namespace kov
