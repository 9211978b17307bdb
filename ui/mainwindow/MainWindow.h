#pragma once
// The main window: owns the account table, the settings, the log pane and the progress
// window for the whole run. Each concern (grid, editor panel, commands, export) lives in a
// class of its own under ui/; this class wires them and runs start-up and shutdown.
#include <QAction>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <unordered_set>

#include "settings/ProgramSettings.h"
#include "store/AccountTable.h"
#include "store/ReadResult.h"
#include "store/SaveAcct.h"
#include "ui/mainwindow/DiskLog.h"

class QLabel;
class QMenu;
class QTableView;
class QVBoxLayout;

namespace kov {

class AccountGrid;
class AccountModel;
class EditPopup;
class ServerStatusPanel;
class EditorPanel;
class FilterTabs;
class LogPane;
class ProgressWindow;
class SearchField;
class ValueLabel;

class MainWindow : public QMainWindow, private AccountTable::Listener {
  Q_OBJECT

 public:
  // `programFolder` holds kov.ini, the language files and the backups.
  // `languageFolder` holds english.xml and german.xml; empty means the program folder.
  // The designed size, and the size a first start (no bounds in kov.ini) gives at least
  // where the screen has room: every text of the window whole in English and German.
  static constexpr QSize kFirstStartMinimum{605, 587};
  static constexpr QSize kFirstStartComfortable{1000, 700};

  explicit MainWindow(const QString& programFolder, QWidget* parent = nullptr,
                      const QString& languageFolder = QString());
  ~MainWindow() override;

  // --- What the other windows and commands use ----------------------------------------
  AccountTable& Table() { return m_table; }
  ProgramSettings& Settings() { return m_settings; }
  ProgressWindow& Progress() { return *m_progress; }
  AccountModel& Model() { return *m_model; }
  QTableView* Grid() const;
  AccountGrid* GridView() const { return m_grid; }
  FilterTabs* Tabs() const { return m_tabs; }
  SearchField* Search() const { return m_search; }
  EditorPanel* Editor() const { return m_editor; }
  LogPane* Log() const { return m_log; }
  // kov.log in the program folder: the pane's lines kept on disk.
  QString DiskLogPath() const { return m_diskLog.Path(); }
  // The status bar's word on the server of the loaded shard.
  ServerStatusPanel* ServerStatus() const { return m_serverPanel; }
  // What a send that did not reach the server means, said once: the notice shows `shown`
  // (the console's own text) with the explanation below it, and the log records both.
  void ReportNotSent(const QString& shown, const QString& reason);
  // No kov.ini was there when the window opened.
  bool FirstStart() const { return m_firstStart; }
  // Rows marked changed or new: written or not, the server has not taken them over.
  bool AnyRowPending() const;
  QString ProgramFolder() const { return m_programFolder; }
  QString LanguageFolder() const { return m_languageFolder; }
  // The account folder the table was loaded from; saving writes there.
  QString LoadedAccountDir() const { return m_loadedAccountDir; }
  // The server path in force when the table was loaded; Save, Delete and their "A" use it.
  QString LoadedServerPath() const { return m_loadedServerPath; }
  // False after a reader stopped on an error: the table is incomplete then.
  bool LoadComplete() const { return m_loadComplete; }
  // The banner above the grid and Save and Backup follow whether the last load completed.
  void ShowLoadState();
  // The change history of the program folder, and who changes what in the loaded shard.
  QString HistoryPath() const;
  SaveHistory HistoryContext() const;
  // Accounts brought back from a backup and not saved yet: their history lines say so.
  std::unordered_set<std::string> restoredAccounts;

  void AddLogLine(const QString& text, int icon);
  void SetChangesSaved(bool saved);
  bool ChangesSaved() const { return m_settings.ChangesSaved; }
  void ShowEntryCount(int count);
  int CountVisibleRows() const;
  // Tab "All", second tab row hidden, filter off, first row current.
  void FilterReset();
  void FillAccountEditor();
  void FillCharacterList();
  void ApplyUiText();

  // Reads a file through a reader and shows its failure to the operator; false when the
  // rest of the load must be skipped.
  bool ReportReadResult(const ReadResult& result, const QString& path);

  // --- Commands (actions carry the designer's names) ----------------------------------
  // Every command's action is made here, with its shortcut, and placed in the menus; the
  // command classes that carry them out are made and wired in Commands (ui/commands).
  QAction* edReloadAcc = nullptr;
  QAction* edLiveUpdate = nullptr;
  QAction* edMakeBackup = nullptr;
  QAction* edSettingsForm = nullptr;
  QAction* edClose = nullptr;
  QAction* edNewAccount = nullptr;
  QAction* edDeleteAccount = nullptr;
  QAction* edExportExcel = nullptr;
  QAction* edExportHTML = nullptr;
  QAction* edSendEmail = nullptr;
  QAction* mViewLog = nullptr;
  QAction* edHelp = nullptr;
  // Beyond the original: search, CSV export, review and revert of pending rows.
  QAction* edSearch = nullptr;
  QAction* edExportCSV = nullptr;
  QAction* edReviewChanges = nullptr;
  QAction* edRevertAccount = nullptr;
  // Changes of every highlighted row at once, each shown as a preview first.
  QAction* edBulkBlock = nullptr;
  QAction* edBulkUnblock = nullptr;
  QAction* edBulkJail = nullptr;
  QAction* edBulkRelease = nullptr;
  QAction* edBulkLevel = nullptr;
  QAction* edBulkFlag = nullptr;
  QList<QAction*> BulkActions() const {
    return {edBulkBlock, edBulkUnblock, edBulkJail, edBulkRelease, edBulkLevel, edBulkFlag};
  }
  QAction* edRestoreBackup = nullptr;
  QAction* edHistory = nullptr;
  QAction* edAccountHistory = nullptr;

  QMenu* MenuFile() const { return m_menuFile; }
  QMenu* MenuEdit() const { return m_menuEdit; }
  QMenu* MenuView() const { return m_menuView; }
  QMenu* MenuHelp() const { return m_menuHelp; }
  QVBoxLayout* CentralLayout() const { return m_centralLayout; }

  // Saves pending rows (the "Save" command and Yes on closing); true when the file was
  // written. Set by the save command's owner; the window itself only calls it.
  std::function<bool()> saveHandler;
  // Refuses closing while an operation (a deletion) is running.
  bool busy = false;

 public slots:
  // Asks first when rows are pending; No keeps them.
  void edReloadAccExecute();
  void edCloseExecute();
  void edSearchExecute();
  void mViewLogExecute();

 signals:
  void AccountsLoaded();
  void UiTextApplied();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  bool FormCloseQuery();
  void FormClose();
  bool LoadSequence(const QString& logText);
  void CreateActions();
  void CreateMenus();
  void CreateCentral();
  void ApplyBounds();
  void ApplyFirstStartBounds();
  void AfterPost(RowId row) override;

  QString m_programFolder;
  QString m_languageFolder;
  AccountTable m_table;
  ProgramSettings m_settings;
  QString m_loadedAccountDir;
  QString m_loadedServerPath;
  bool m_loadComplete = false;
  QString m_failedFile;  // the file a load stopped in, or empty
  QLabel* m_incompleteBanner = nullptr;
  bool m_writesHeld = false;  // Save and Backup are off for an incomplete table
  bool m_closing = false;
  bool m_firstStart = false;

  AccountModel* m_model = nullptr;
  ProgressWindow* m_progress = nullptr;
  LogPane* m_log = nullptr;
  DiskLog m_diskLog;
  bool m_diskLogFailed = false;  // said once in the pane, not at every line
  AccountGrid* m_grid = nullptr;
  FilterTabs* m_tabs = nullptr;
  SearchField* m_search = nullptr;
  EditorPanel* m_editor = nullptr;
  EditPopup* m_editPopup = nullptr;
  QVBoxLayout* m_centralLayout = nullptr;
  ValueLabel* m_entryPanel = nullptr;
  ValueLabel* m_statePanel = nullptr;
  ServerStatusPanel* m_serverPanel = nullptr;
  QMenu* m_menuFile = nullptr;
  QMenu* m_menuEdit = nullptr;
  QMenu* m_menuView = nullptr;
  QMenu* m_menuHelp = nullptr;
  int m_entryCount = 0;
  int m_logHeightAtStart = 0;
};

}  // namespace kov
