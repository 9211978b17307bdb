#pragma once
// "Export Excel", "Export HTML", "Export CSV" and "Send EMail": the grid as it is shown now
// goes to a file, and the current account's address to the desktop's mail program.
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "export/ExportColumns.h"
#include "store/AccountTable.h"

class QTableView;

namespace kov {

class MainWindow;

// The grid's visible columns in the grid's order, with their titles as shown.
std::vector<ExportColumn> GridExportColumns(const QTableView& grid);

class ExportCommands : public QObject, private AccountTable::Listener {
  Q_OBJECT

 public:
  explicit ExportCommands(MainWindow& form);
  ~ExportCommands() override;

  // The exporters' captions ("Exporting to MS Excel...", "Exporting to HTML...").
  QString ExcelCaption() const { return m_excelCaption; }
  QString HtmlCaption() const { return m_htmlCaption; }
  std::vector<ExportColumn> GridColumns() const;

 public slots:
  void edExportExcelExecute();
  void edExportHTMLExecute();
  void edExportCSVExecute();
  void edSendEmailUpdate();
  void edSendEmailExecute();
  // Shared by the exporters: the bar follows the report and the title takes its text.
  void ExportProgress(qint64 minimum, qint64 maximum, qint64 position, const QString& text);
  void ExportFailed(const QString& message);
  void ApplyUiText();

 public:
  // Whether the desktop has a program for "mailto:" links. Where it has none, opening the
  // link "succeeds" and nothing happens, so the operator is told and gets the address on the
  // clipboard instead. Tests replace the probe; an empty one restores the desktop's.
  using MailProgramProbe = std::function<bool()>;
  static void SetMailProgramProbe(MailProgramProbe probe);
  static bool MailProgramAvailable();

 private:
  enum class Format { Excel, Html, Csv };
  void Export(Format format);
  void ViewReset() override { edSendEmailUpdate(); }
  void ViewRowChanged(int) override { edSendEmailUpdate(); }
  void ViewRowsChanged(int, int) override { edSendEmailUpdate(); }
  void CurrentChanged() override { edSendEmailUpdate(); }
  void AfterPost(RowId) override { edSendEmailUpdate(); }

  MainWindow& m_form;
  QString m_excelCaption;
  QString m_htmlCaption;
  QString m_folder;  // the file dialog opens where the last export went
};

}  // namespace kov
