#include "ui/commands/ExportCommands.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QTableView>
#include <QUrl>

#include "export/ExportCsv.h"
#include "export/ExportHtml.h"
#include "export/ExportXlsx.h"
#include "export/MailLink.h"
#include "ui/grid/AccountModel.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {

std::string Latin(const QString& text) {
  // Titles come from Windows-1252 language files, so they always fit; keep the rest readable.
  if (auto bytes = ToCp1252(text)) return *bytes;
  std::string out;
  for (QChar c : text) out += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?';
  return out;
}

ExportCommands::MailProgramProbe& Probe() {
  static ExportCommands::MailProgramProbe probe;
  return probe;
}

bool DesktopHasMailProgram() {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
  return true;  // the shell's opener reports a missing handler itself
#else
  // xdg-open starts, finds no handler and gives up after Qt has reported success.
  QProcess query;
  query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                           QStringLiteral("x-scheme-handler/mailto")});
  if (!query.waitForStarted(2000)) return true;  // cannot tell: let the opener try
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished(1000);
    return true;
  }
  return !query.readAllStandardOutput().trimmed().isEmpty();
#endif
}

}  // namespace

void ExportCommands::SetMailProgramProbe(MailProgramProbe probe) { Probe() = std::move(probe); }

bool ExportCommands::MailProgramAvailable() {
  return Probe() ? Probe()() : DesktopHasMailProgram();
}

ExportCommands::ExportCommands(MainWindow& form) : m_form(form) {
  setObjectName(QStringLiteral("ExportCommands"));
  connect(form.edExportExcel, &QAction::triggered, this, &ExportCommands::edExportExcelExecute);
  connect(form.edExportHTML, &QAction::triggered, this, &ExportCommands::edExportHTMLExecute);
  connect(form.edExportCSV, &QAction::triggered, this, &ExportCommands::edExportCSVExecute);
  connect(form.edSendEmail, &QAction::triggered, this, &ExportCommands::edSendEmailExecute);
  connect(&form, &MainWindow::UiTextApplied, this, &ExportCommands::ApplyUiText);
  // The enable rule is judged again whenever a menu holding the command opens, as well as
  // whenever the current row or its address changes.
  for (QObject* holder : form.edSendEmail->associatedObjects())
    if (auto* menu = qobject_cast<QMenu*>(holder))
      connect(menu, &QMenu::aboutToShow, this, &ExportCommands::edSendEmailUpdate);
  form.Table().AddListener(this);
  form.edExportExcel->setEnabled(true);
  form.edExportHTML->setEnabled(true);
  form.edExportCSV->setEnabled(true);
  ApplyUiText();
  edSendEmailUpdate();
}

ExportCommands::~ExportCommands() { m_form.Table().RemoveListener(this); }

void ExportCommands::ApplyUiText() {
  m_excelCaption = Ui("exp_Module_Excel_Caption");
  m_htmlCaption = Ui("exp_Module_HTML_Caption");
}

std::vector<ExportColumn> GridExportColumns(const QTableView& grid) {
  std::vector<ExportColumn> columns;
  const QAbstractItemModel* model = grid.model();
  const QHeaderView* header = grid.horizontalHeader();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int logical = header->logicalIndex(visual);
    if (logical < 0 || logical >= AccountModel::kColumnCount || grid.isColumnHidden(logical))
      continue;
    const QString title = model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
    columns.push_back({AccountModel::FieldOfColumn(logical), Latin(title),
                       AccountModel::IsCharacterCount(logical)});
  }
  return columns;
}

std::vector<ExportColumn> ExportCommands::GridColumns() const {
  return GridExportColumns(*m_form.Grid());
}

void ExportCommands::edExportExcelExecute() { Export(Format::Excel); }
void ExportCommands::edExportHTMLExecute() { Export(Format::Html); }
void ExportCommands::edExportCSVExecute() { Export(Format::Csv); }

void ExportCommands::Export(Format format) {
  struct Kind {
    QString caption, filter, extension;
    ExportResult (*write)(const AccountTable&, const std::vector<ExportColumn>&, const std::string&,
                          const ExportProgressFn&);
  };
  const Kind kind = format == Format::Excel
                        ? Kind{m_excelCaption, Ui("ext_Export_Filter_Excel"), "xlsx", &ExportXlsx}
                    : format == Format::Html
                        ? Kind{m_htmlCaption, Ui("ext_Export_Filter_Html"), "htm", &ExportHtml}
                        : Kind{Ui("ext_Menu_CSV"), Ui("ext_Export_Filter_Csv"), "csv", &ExportCsv};
  const QString& caption = kind.caption;
  FileDialogRequest request{FileDialogRequest::Kind::Save, caption, m_folder, kind.filter,
                            kind.extension};
  const QString path = AskFileName(&m_form, request);
  if (path.isEmpty()) return;
  m_folder = QFileInfo(path).absolutePath();

  ProgressWindow& progress = m_form.Progress();
  progress.ShowCentered();
  progress.SetText(Ui("exp_Progress_Text"));
  const ExportProgressFn report = [&](std::int64_t minimum, std::int64_t maximum,
                                      std::int64_t position) {
    ExportProgress(minimum, maximum, position, caption);
  };
  // The filter the operator chose stays: the export is of what the grid shows.
  const std::string target = QDir::toNativeSeparators(path).toStdString();
  const ExportResult result = kind.write(m_form.Table(), GridColumns(), target, report);
  if (!result.ok) ExportFailed(QString::fromStdString(result.error));
  progress.Close();
  // The log says where the file went; a failed export names none.
  m_form.AddLogLine(
      result.ok ? caption + QStringLiteral(" ") + QDir::toNativeSeparators(path) : caption,
      LogPane::IconInfo);
}

void ExportCommands::ExportProgress(qint64 minimum, qint64 maximum, qint64 position,
                                    const QString& text) {
  ProgressWindow& progress = m_form.Progress();
  if (progress.windowTitle() != text) progress.setWindowTitle(text);
  if (progress.Maximum() != maximum) progress.SetRange(minimum, maximum);
  progress.SetPosition(position);
}

void ExportCommands::ExportFailed(const QString& message) {
  m_form.Progress().Close();
  MessageDialog(message, MsgDlgType::Error, MsgDlgBtn::OK, &m_form);
}

void ExportCommands::edSendEmailUpdate() {
  const AccountTable& table = m_form.Table();
  const bool enabled = table.Current() != kNoRow && !table.Text(dbemail).empty();
  if (m_form.edSendEmail->isEnabled() != enabled) m_form.edSendEmail->setEnabled(enabled);
}

void ExportCommands::edSendEmailExecute() {
  const AccountTable& table = m_form.Table();
  if (table.Current() == kNoRow || table.Text(dbemail).empty()) return;
  const std::string link = MailtoLink(table.Text(dbemail));
  const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(link), QUrl::StrictMode);
  if (url.isValid() && MailProgramAvailable() && QDesktopServices::openUrl(url)) return;
  const QString address = FromCp1252(BareMailAddress(table.Text(dbemail)));
  QGuiApplication::clipboard()->setText(address);
  const QString text = FormatText(Ui("ext_Mail_NoProgram"), {address});
  m_form.AddLogLine(text, LogPane::IconInfo);
  ShowNotice(&m_form, NoticeKind::Warning, text);
}

}  // namespace kov
