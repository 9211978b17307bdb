#include "ui/commands/ExportCommands.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QUrl>

#include "ui/grid/AccountModel.h"
#include "export/ExportHtml.h"
#include "export/ExportXlsx.h"
#include "ui/mainwindow/LogPane.h"
#include "export/MailLink.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/widgets/Text1252.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

namespace kov {

namespace {

std::string Latin(const QString& text) {
  // Titles come from Windows-1252 language files, so they always fit; keep the rest readable.
  if (auto bytes = ToCp1252(text)) return *bytes;
  std::string out;
  for (QChar c : text) out += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?';
  return out;
}

}  // namespace

ExportCommands::ExportCommands(MainWindow& form) : m_form(form) {
  setObjectName(QStringLiteral("ExportCommands"));
  connect(form.edExportExcel, &QAction::triggered, this, &ExportCommands::edExportExcelExecute);
  connect(form.edExportHTML, &QAction::triggered, this, &ExportCommands::edExportHTMLExecute);
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
    columns.push_back({AccountModel::FieldOfColumn(logical), Latin(title)});
  }
  return columns;
}

std::vector<ExportColumn> ExportCommands::GridColumns() const {
  return GridExportColumns(*m_form.Grid());
}

void ExportCommands::edExportExcelExecute() { Export(Format::Excel); }
void ExportCommands::edExportHTMLExecute() { Export(Format::Html); }

void ExportCommands::Export(Format format) {
  const bool excel = format == Format::Excel;
  const QString caption = excel ? m_excelCaption : m_htmlCaption;
  FileDialogRequest request{
      FileDialogRequest::Kind::Save, caption, m_folder,
      excel ? QStringLiteral("Excel (*.xlsx)") : QStringLiteral("HTML (*.htm)"),
      excel ? QStringLiteral("xlsx") : QStringLiteral("htm")};
  const QString path = AskFileName(&m_form, request);
  if (path.isEmpty()) return;
  m_folder = QFileInfo(path).absolutePath();

  ProgressWindow& progress = m_form.Progress();
  progress.ShowCentered();
  progress.SetText(Ui("exp_Progress_Text"));
  const ExportProgressFn report = [&](std::int64_t minimum, std::int64_t maximum,
                                      std::int64_t position) {
    JvDBGridExcelExport1Progress(minimum, maximum, position, caption);
  };
  // The filter the operator chose stays: the export is of what the grid shows.
  const std::string target = QDir::toNativeSeparators(path).toStdString();
  const std::vector<ExportColumn> columns = GridColumns();
  const ExportResult result = excel ? ExportXlsx(m_form.Table(), columns, target, report)
                                    : ExportHtml(m_form.Table(), columns, target, report);
  if (!result.ok) {
    const QString message = QString::fromStdString(result.error);
    if (excel)
      JvDBGridExcelExport1Exception(message);
    else
      JvDBGridHTMLExport1Exception(message);
  }
  progress.Close();
  m_form.AddLogLine(caption, LogPane::IconInfo);
}

void ExportCommands::JvDBGridExcelExport1Progress(qint64 minimum, qint64 maximum, qint64 position,
                                                  const QString& text) {
  ProgressWindow& progress = m_form.Progress();
  if (progress.windowTitle() != text) progress.setWindowTitle(text);
  if (progress.Maximum() != maximum) progress.SetRange(minimum, maximum);
  progress.SetPosition(position);
}

void ExportCommands::JvDBGridExcelExport1Exception(const QString& message) {
  m_form.Progress().Close();
  MessageDialog(message, MsgDlgType::Error, MsgDlgBtn::OK, &m_form);
}

void ExportCommands::JvDBGridHTMLExport1Exception(const QString& message) {
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
  if (!url.isValid() || !QDesktopServices::openUrl(url))
    ShowNotice(&m_form, NoticeKind::Error,
               QStringLiteral("No mail program could be started for %1.")
                   .arg(FromCp1252(BareMailAddress(table.Text(dbemail)))));
}

}  // namespace kov
