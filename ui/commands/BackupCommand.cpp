#include "ui/commands/BackupCommand.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include "backup/SaveBackup.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {
// The dump is Windows-1252 text; a character the code page lacks becomes "?".
std::string DateBytes(const QString& text) {
  return ToCp1252(text).value_or(text.toLatin1().toStdString());
}
}  // namespace

BackupCommand::BackupCommand(MainWindow& form) : QObject(&form), m_form(form) {
  setObjectName(QStringLiteral("BackupCommand"));
  m_form.edMakeBackup->setEnabled(true);
  m_form.ShowLoadState();
  connect(m_form.edMakeBackup, &QAction::triggered, this, &BackupCommand::edMakeBackupExecute);
}

void BackupCommand::edMakeBackupExecute() {
  if (m_form.busy) return;
  MakeBackup(BackupPath());
}

QString BackupCommand::TodayText() const {
  return QLocale().toString(today(), QLocale::ShortFormat);
}

QString BackupCommand::BackupPath() const {
  const QString first =
      QDir(m_form.ProgramFolder()).filePath(FromCp1252(BackupFileName(DateBytes(TodayText()))));
  // The name holds only the date: a day's later backups are numbered, so the morning's
  // backup is still there after the evening's.
  if (!QFileInfo::exists(first)) return first;
  const QString stem = first.chopped(4);  // without ".bak"
  for (int n = 2;; ++n) {
    const QString next = stem + QLatin1Char('-') + QString::number(n) + QStringLiteral(".bak");
    if (!QFileInfo::exists(next)) return next;
  }
}

bool BackupCommand::MakeBackup(const QString& path) {
  if (!m_form.LoadComplete()) {
    // The table holds only part of the files: a backup of it could not bring them back.
    ShowNotice(&m_form, NoticeKind::Warning,
               Ui("ext_Backup_Incomplete") + u'\n' +
                   FormatText(Ui("ext_Load_CorrectFirst"), {Ui("f1_Action_Reload")}));
    return false;
  }
  const std::string date = DateBytes(TodayText());

  m_form.FilterReset();
  AccountTable& table = m_form.Table();
  table.First();
  ProgressWindow& progress = m_form.Progress();
  progress.SetRange(0, table.RowCount());
  progress.SetPosition(0);
  progress.SetText(Ui("f1_Progressbar_Backup"));
  progress.ShowOverOwner();

  const BackupResult result = WriteBackup(table, QDir::toNativeSeparators(path).toStdString(), date,
                                          [&progress](std::size_t row, std::size_t) {
                                            progress.SetPosition(static_cast<qint64>(row));
                                          });
  table.Last();
  progress.Close();

  if (!result.ok) {
    ShowNotice(&m_form, NoticeKind::Warning,
               Ui("ext_Backup_Failed") + u'\n' + QString::fromStdString(result.error));
    return false;
  }
  m_form.AddLogLine(FormatText(Ui("ext_Log_Backup"), {path}), LogPane::IconOut);
  return true;
}

}  // namespace kov
