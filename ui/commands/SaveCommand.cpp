#include "ui/commands/SaveCommand.h"

#include <QDir>

#include "console/ServerConsole.h"
#include "store/LoadAccounts.h"
#include "store/SaveAcct.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/mainwindow/ServerStatusPanel.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/widgets/Text1252.h"
#include "ui/widgets/WaitMilliseconds.h"

namespace kov {

SaveCommand::SaveCommand(MainWindow& form) : QObject(&form), m_form(form) {
  m_form.edLiveUpdate->setEnabled(true);
  m_form.ShowLoadState();
  connect(m_form.edLiveUpdate, &QAction::triggered, this, &SaveCommand::edLiveUpdateExecute);
  m_form.saveHandler = [this] { return Save(); };
}

void SaveCommand::edLiveUpdateExecute() {
  if (m_form.busy) return;
  if (Save()) m_form.SetChangesSaved(true);
}

bool SaveCommand::Save() {
  if (!m_form.LoadComplete()) {
    // The table holds only part of the files: writing it would drop pending changes.
    ShowNotice(&m_form, NoticeKind::Warning,
               FormatText(Ui("ext_Save_Incomplete"), {QString::fromLatin1(kUpdateFileName)}) +
                   u'\n' + FormatText(Ui("ext_Load_CorrectFirst"), {Ui("f1_Action_Reload")}));
    return false;
  }
  ProgramSettings& settings = m_form.Settings();
  const QString dir = m_form.LoadedAccountDir();
  if (dir != QString::fromStdString(settings.ACCOUNTDIR))
    m_form.AddLogLine(FormatText(Ui("ext_Log_SaveOtherFolder"), {dir}), LogPane::IconInfo);

  const std::string accountDir = QDir::toNativeSeparators(dir).toStdString();
  const std::string accountFile = JoinPath(accountDir, kAccountFileName);
  const std::string updateFile = JoinPath(accountDir, kUpdateFileName);
  for (const std::string& f : {accountFile, updateFile}) {
    if (!FileExists(f)) {
      m_form.AddLogLine(Ui("msg_file_not_found") + QString::fromStdString(f), LogPane::IconInfo);
      ShowNotice(&m_form, NoticeKind::Warning,
                 Ui("msg_file_not_found") + QString::fromStdString(f));
      return false;
    }
  }

  m_form.FilterReset();
  AccountTable& table = m_form.Table();
  ProgressWindow& progress = m_form.Progress();
  progress.SetRange(0, table.RowCount());
  table.First();
  // The server of the shard that was loaded, whatever the preferences say since.
  const std::string server = m_form.LoadedServerPath().toStdString();
  const bool running = IsServerRunning(server);
  const bool live = settings.ACCAUTOUPDATE && running;
  // The wait for the take-over runs the event loop: the folder watch must not count the
  // rows this save is looking at.
  const bool wasBusy = m_form.busy;
  m_form.busy = true;
  progress.ShowOverOwner();

  SaveOptions options;
  options.live = live;
  options.progress = [&](int index, int, RowId row) {
    progress.SetPosition(index);
    const bool isNew = table.Int(row, dbstatus) == StatusNew;
    progress.SetText(FormatText(Ui(isNew ? "msg_acc_Create" : "msg_acc_Updating"),
                                {FromCp1252(table.Text(row, dbaccount))}));
  };
  ConsoleResult told;
  options.tellServer = [&](std::string& why) {
    told = SendConsoleCommand("A", server);
    if (!told.Delivered()) why = told.NoticeText();
    return told.Delivered();
  };
  options.takeOverWaitMs = settings.TAKEOVERWAIT * 1000;
  options.pause = [&](int milliseconds) {
    const QString waiting = Ui("ext_Wait_TakeOver");
    if (progress.Text() != waiting) progress.SetText(waiting);
    WaitMilliseconds(milliseconds);
  };
  const SaveHistory history = m_form.HistoryContext();
  options.history = &history;
  const SaveResult result = WriteAccountUpdates(table, accountDir, options);
  m_form.busy = wasBusy;
  progress.Close();
  table.Last();

  const QString path = QString::fromStdString(result.path);
  switch (result.status) {
    case SaveResult::Status::AccountFileMissing:
    case SaveResult::Status::UpdateFileMissing:
      m_form.AddLogLine(Ui("msg_file_not_found") + path, LogPane::IconInfo);
      ShowNotice(&m_form, NoticeKind::Warning, Ui("msg_file_not_found") + path);
      return false;
    case SaveResult::Status::ValueRefused:
      ShowNotice(
          &m_form, NoticeKind::Warning,
          FormatText(Ui("ext_Save_ValueRefused"),
                     {FromCp1252(result.account), QString::fromStdString(result.field), path}));
      return false;
    case SaveResult::Status::WriteFailed:
      ShowNotice(&m_form, NoticeKind::Error,
                 FormatText(Ui("ext_Save_WriteFailed"), {path}) + u'\n' +
                     QString::fromStdString(result.message));
      return false;
    case SaveResult::Status::Written:
      break;
  }
  m_form.AddLogLine(FormatText(Ui("ext_Log_Save"), {path}), LogPane::IconOut);
  for (RowId row : result.written)
    m_form.restoredAccounts.erase(std::string(table.Text(row, dbaccount)));
  if (!result.historyError.empty())
    m_form.AddLogLine(
        FormatText(Ui("ext_Log_HistoryFailed"), {QString::fromStdString(result.historyError)}),
        LogPane::IconInfo);
  if (!running) m_form.ServerStatus()->Show(ServerProbe{ServerState::NotRunning, {}});
  if (!live) {
    // The fixed notice first, then what it means for these changes.
    const QString why =
        FormatText(Ui(running ? "ext_Save_AutoUpdateOff" : "ext_Save_NotRunning"), {path});
    m_form.AddLogLine(why, LogPane::IconInfo);
    ShowNotice(&m_form, NoticeKind::Information,
               Ui("msg_Acc_Update") + QStringLiteral("\n\n") + why);
  } else if (result.told) {
    m_form.ServerStatus()->Show(told);
    m_form.AddLogLine(Ui("ext_Log_SendA"), LogPane::IconOut);
    m_form.AddLogLine(FormatText(Ui("ext_Log_TakenOver"), {result.takenOver, result.waiting}),
                      result.waiting ? LogPane::IconInfo : LogPane::IconOut);
  } else {
    // The file holds the rows; they stay pending until the server is told.
    m_form.ServerStatus()->Show(told);
    m_form.ReportNotSent(QString::fromStdString(result.consoleMessage),
                         QString::fromStdString(told.NoticeText()).replace(u'\n', u' '));
  }
  return true;
}

}  // namespace kov
