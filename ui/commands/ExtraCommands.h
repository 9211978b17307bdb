#pragma once
// What operators of large shards asked for beyond the original commands: the usual desktop
// shortcuts, a question before Reload drops pending changes, the search field, CSV export,
// "Revert Account" and "Review Changes...".
#include <QObject>
#include <QString>
#include <vector>

#include "export/ExportColumns.h"

class QAction;

namespace kov {

class RevertCommand;
class SearchField;
class MainWindow;

class ExtraCommands : public QObject {
  Q_OBJECT

 public:
  explicit ExtraCommands(MainWindow& form);
  ~ExtraCommands() override;

  SearchField* Search() const { return m_search; }
  RevertCommand& Revert() const { return *m_revert; }
  QAction* edSearch = nullptr;
  QAction* edExportCSV = nullptr;
  QAction* edReviewChanges = nullptr;

 public slots:
  // Asks first when rows are pending; No keeps them.
  void edReloadAccExecute();
  void edSearchExecute();
  void edExportCSVExecute();
  void edReviewChangesExecute();
  void ApplyUiText();

 private:
  MainWindow& m_form;
  SearchField* m_search = nullptr;
  RevertCommand* m_revert = nullptr;
  QString m_folder;  // where the last CSV export went
};

}  // namespace kov
