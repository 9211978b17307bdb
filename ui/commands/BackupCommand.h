#pragma once
#include <QDate>
#include <QObject>
#include <QString>
#include <functional>

namespace kov {

class MainWindow;

// "Make Backup": the whole table, compressed, into "Kov_<today>.bak" in the program folder.
class BackupCommand : public QObject {
  Q_OBJECT

 public:
  explicit BackupCommand(MainWindow& form);

  // True when the backup was written; the operator has been told otherwise.
  bool MakeBackup(const QString& path);
  // Today's date in the operator's short date format.
  QString TodayText() const;
  // The program folder followed by "Kov_%s.bak" with today's date made safe for a name.
  QString BackupPath() const;

  // Test seam: today's date.
  std::function<QDate()> today = [] { return QDate::currentDate(); };

 public slots:
  void edMakeBackupExecute();

 private:
  MainWindow& m_form;
};

}  // namespace kov
