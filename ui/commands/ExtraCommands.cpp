#include "ui/commands/ExtraCommands.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/commands/ExportCommands.h"
#include "export/ExportCsv.h"
#include "ui/grid/FilterTabs.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/commands/ReviewDialog.h"
#include "ui/commands/RevertCommand.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/widgets/Text1252.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

namespace kov {

ExtraCommands::ExtraCommands(MainWindow& form) : m_form(form) {
  m_form.edLiveUpdate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  m_form.edReloadAcc->setShortcut(QKeySequence(Qt::Key_F5));
  m_form.edNewAccount->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  m_form.edClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  // Reload would drop pending rows without a word.
  disconnect(m_form.edReloadAcc, &QAction::triggered, &m_form, &MainWindow::edReloadAccExecute);
  connect(m_form.edReloadAcc, &QAction::triggered, this, &ExtraCommands::edReloadAccExecute);

  m_search = new SearchField(*m_form.Tabs());
  m_form.CentralLayout()->insertWidget(0, m_search);
  edSearch = new QAction(this);
  edSearch->setObjectName(QStringLiteral("edSearch"));
  edSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  connect(edSearch, &QAction::triggered, this, &ExtraCommands::edSearchExecute);
  m_form.MenuView()->addAction(edSearch);

  edExportCSV = new QAction(this);
  edExportCSV->setObjectName(QStringLiteral("edExportCSV"));
  connect(edExportCSV, &QAction::triggered, this, &ExtraCommands::edExportCSVExecute);
  m_form.MenuEdit()->addAction(edExportCSV);

  edReviewChanges = new QAction(this);
  edReviewChanges->setObjectName(QStringLiteral("edReviewChanges"));
  connect(edReviewChanges, &QAction::triggered, this, &ExtraCommands::edReviewChangesExecute);
  m_form.MenuFile()->insertAction(m_form.edLiveUpdate, edReviewChanges);

  m_revert = new RevertCommand(m_form);
  m_revert->setParent(this);
  connect(&m_form, &MainWindow::UiTextApplied, this, &ExtraCommands::ApplyUiText);
  ApplyUiText();
}

ExtraCommands::~ExtraCommands() {
  // The field belongs to the window's layout; it must not outlive these commands' filter.
  if (m_search) m_form.Tabs()->SetExtraFilter({});
}

void ExtraCommands::ApplyUiText() {
  edSearch->setText(Ui("ext_Action_Search"));
  edExportCSV->setText(Ui("ext_Menu_CSV"));
  edReviewChanges->setText(Ui("ext_Action_Review"));
  m_search->ApplyUiText();
  m_revert->ApplyUiText();
}

void ExtraCommands::edReloadAccExecute() {
  if (m_form.busy) return;
  if (!m_form.ChangesSaved() &&
      MessageDialog(Ui("ext_Reload_Confirm"), MsgDlgType::Confirmation,
                    MsgDlgBtn::Yes | MsgDlgBtn::No, &m_form) != MsgDlgBtn::Yes)
    return;
  m_form.edReloadAccExecute();
}

void ExtraCommands::edSearchExecute() {
  m_search->setFocus(Qt::ShortcutFocusReason);
  m_search->selectAll();
}

void ExtraCommands::edExportCSVExecute() {
  const QString caption = Ui("ext_Menu_CSV");
  const QString path = AskFileName(
      &m_form, {FileDialogRequest::Kind::Save, caption, m_folder, QStringLiteral("CSV (*.csv)"),
                QStringLiteral("csv")});
  if (path.isEmpty()) return;
  m_folder = QFileInfo(path).absolutePath();
  ProgressWindow& progress = m_form.Progress();
  progress.ShowCentered();
  progress.SetText(Ui("exp_Progress_Text"));
  const ExportProgressFn report = [&](std::int64_t minimum, std::int64_t maximum,
                                      std::int64_t position) {
    progress.SetRange(minimum, maximum);
    progress.SetPosition(position);
  };
  const ExportResult result = ExportCsv(m_form.Table(), GridExportColumns(*m_form.Grid()),
                                        QDir::toNativeSeparators(path).toStdString(), report);
  progress.Close();
  if (!result.ok)
    ShowNotice(&m_form, NoticeKind::Error, QString::fromStdString(result.error));
  else
    m_form.AddLogLine(caption + ": " + path, LogPane::IconOut);
}

void ExtraCommands::edReviewChangesExecute() {
  ReviewDialog dialog(m_form, *m_revert, &m_form);
  if (!dialog.Refill()) return;
  dialog.exec();
}

}  // namespace kov
