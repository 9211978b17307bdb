#pragma once
// "Restore from Backup...": a backup's accounts beside the table's, the ones that differ
// (deleted since, changed since field by field, new since), to tick and bring back as
// pending rows. Passwords show only when asked for.
#include <QDialog>
#include <memory>
#include <string>
#include <unordered_set>

#include "backup/Restore.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kov {

class MainWindow;

class RestoreDialog : public QDialog {
  Q_OBJECT

 public:
  RestoreDialog(MainWindow& form, QWidget* parent = nullptr);
  ~RestoreDialog() override;
  // Reads the backup (in memory only) and compares it; false after telling the operator why
  // it cannot be used.
  bool Open(const QString& backupPath);
  QTreeWidget* List() const { return m_list; }
  QString Summary() const;
  // Lays the ticked accounts and fields onto the table; returns how many accounts.
  int RestoreTicked();

 private:
  void Refill();
  void ShowPasswords(bool on);

  MainWindow& m_form;
  QString m_path;
  std::unique_ptr<AccountTable> m_backup;
  std::unique_ptr<AccountTable> m_server;
  bool m_haveServer = false;
  BackupReadResult m_read;
  RestoreDiff m_diff;
  QTreeWidget* m_list;
  QLabel* m_summary;
  QLabel* m_foreign;
  QCheckBox* m_passwords;
  QRadioButton* m_keep;
  QRadioButton* m_take;
  QPushButton* m_apply;
  QPushButton* m_close;
};

}  // namespace kov
