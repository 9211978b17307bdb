#include "ui/mainwindow/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <new>

#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "store/ReadAcct.h"
#include "ui/editor/EditorPanel.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/FilterTabs.h"
#include "ui/grid/SearchField.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/ServerStatusPanel.h"
#include "ui/settings/LanguageFile.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"
#include "ui/widgets/Text1252.h"
#include "ui/widgets/ValueLabel.h"

namespace kov {

namespace {
std::string Local(const QString& s) { return QDir::toNativeSeparators(s).toStdString(); }
QString FromLocal(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

MainWindow::MainWindow(const QString& programFolder, QWidget* parent, const QString& languageFolder)
    : QMainWindow(parent),
      m_programFolder(programFolder),
      m_languageFolder(languageFolder.isEmpty() ? programFolder : languageFolder),
      m_diskLog(programFolder.isEmpty() ? QString()
                                        : QDir(programFolder).filePath(QStringLiteral("kov.log"))) {
  setObjectName("Form1");
  setWindowTitle("Vornex Account Manager");
  setMinimumSize(600, 350);
  // The window shows account data, which is Windows-1252, and its own words: text that needs
  // no shaping, so its widgets skip it (a script that needs shaping still gets it). Only the
  // strategy is set, so the font still follows the desktop's.
  QFont plainText;
  plainText.setStyleStrategy(QFont::PreferNoShaping);
  setFont(plainText);
  m_model = new AccountModel(m_table, this);
  m_progress = new ProgressWindow(this);
  CreateActions();
  CreateMenus();
  CreateCentral();
  m_table.AddListener(this);
  FormCreate();
}

MainWindow::~MainWindow() {
  m_table.RemoveListener(this);
  // The tabs' filter asks the search field, which goes with the central widget.
  m_tabs->SetExtraFilter({});
  // The widgets and the model refer to the table, which is gone before the window's
  // children are deleted.
  delete centralWidget();
  delete m_model;
}

QString MainWindow::HistoryPath() const {
  return QDir(m_programFolder).filePath(QString::fromLatin1(kHistoryFileName));
}

SaveHistory MainWindow::HistoryContext() const {
  SaveHistory h;
  h.path = QDir::toNativeSeparators(HistoryPath()).toStdString();
  h.user = CurrentUserName();
  h.shard = QDir::toNativeSeparators(QDir(m_loadedAccountDir).absolutePath()).toStdString();
  h.restored = restoredAccounts;
  return h;
}

// --- layout ---------------------------------------------------------------------------

void MainWindow::CreateActions() {
  auto make = [this](QAction*& a, const char* name, const char* text) {
    a = new QAction(QString::fromLatin1(text), this);
    a->setObjectName(QString::fromLatin1(name));
  };
  make(edReloadAcc, "edReloadAcc", "Reload Accounts");
  make(edLiveUpdate, "edLiveUpdate", "Save");
  make(edMakeBackup, "edMakeBackup", "Make Backup");
  make(edSettingsForm, "edSettingsForm", "Settings");
  make(edClose, "edClose", "Exit");
  make(edNewAccount, "edNewAccount", "New Account");
  make(edDeleteAccount, "edDeleteAccount", "Delete Account");
  make(edExportExcel, "edExportExcel", "Export Excel");
  make(edExportHTML, "edExportHTML", "Export HTML");
  make(edSendEmail, "edSendEmail", "Send EMail");
  make(mViewLog, "mViewLog", "Show Logfile");
  make(edHelp, "edHelp", "Info...");
  make(edSearch, "edSearch", "Find...");
  make(edExportCSV, "edExportCSV", "Export CSV");
  make(edReviewChanges, "edReviewChanges", "Review Changes...");
  make(edRevertAccount, "edRevertAccount", "Revert Account");
  make(edBulkBlock, "edBulkBlock", "Block");
  make(edBulkUnblock, "edBulkUnblock", "Unblock");
  make(edBulkJail, "edBulkJail", "Jail");
  make(edBulkRelease, "edBulkRelease", "Release");
  make(edBulkLevel, "edBulkLevel", "Set Level...");
  make(edBulkFlag, "edBulkFlag", "Set or Clear a flag...");
  make(edRestoreBackup, "edRestoreBackup", "Restore from Backup...");
  make(edHistory, "edHistory", "History...");
  make(edAccountHistory, "edAccountHistory", "History of this Account...");
  edLiveUpdate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  edReloadAcc->setShortcut(QKeySequence(Qt::Key_F5));
  edNewAccount->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  edClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  edSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  // Del deletes accounts only while the grid has the focus (CreateCentral); in a text field
  // it deletes text.
  edDeleteAccount->setShortcut(QKeySequence::Delete);
  edDeleteAccount->setShortcutContext(Qt::WidgetShortcut);
  mViewLog->setCheckable(true);
  mViewLog->setChecked(true);
  // Commands whose windows land later stay greyed out until their owner enables them.
  for (QAction* a : {edLiveUpdate, edMakeBackup, edSettingsForm, edNewAccount, edDeleteAccount,
                     edExportExcel, edExportHTML, edSendEmail, edHelp, edExportCSV, edReviewChanges,
                     edRevertAccount, edRestoreBackup, edHistory, edAccountHistory})
    a->setEnabled(false);
  for (QAction* a : BulkActions()) a->setEnabled(false);
  connect(edReloadAcc, &QAction::triggered, this, &MainWindow::edReloadAccExecute);
  connect(edSearch, &QAction::triggered, this, &MainWindow::edSearchExecute);
  connect(edClose, &QAction::triggered, this, &MainWindow::edCloseExecute);
  connect(mViewLog, &QAction::triggered, this, &MainWindow::mViewLogExecute);
}

void MainWindow::CreateMenus() {
  m_menuFile = menuBar()->addMenu(Ui("f1_Menu_0_0"));
  m_menuFile->setObjectName("MenuFile");
  m_menuFile->addAction(edReloadAcc);
  m_menuFile->addAction(edReviewChanges);
  m_menuFile->addAction(edLiveUpdate);
  m_menuFile->addAction(edMakeBackup);
  m_menuFile->addAction(edRestoreBackup);
  m_menuFile->addSeparator();
  m_menuFile->addAction(edSettingsForm);
  m_menuFile->addSeparator();
  m_menuFile->addAction(edClose);
  m_menuEdit = menuBar()->addMenu(Ui("f1_Menu_1_0"));
  m_menuEdit->setObjectName("MenuEdit");
  m_menuEdit->addAction(edNewAccount);
  m_menuEdit->addAction(edDeleteAccount);
  m_menuEdit->addSeparator();
  m_menuEdit->addActions(BulkActions());
  m_menuEdit->addSeparator();
  m_menuEdit->addAction(edExportExcel);
  m_menuEdit->addAction(edExportHTML);
  m_menuEdit->addAction(edExportCSV);
  m_menuEdit->addSeparator();
  m_menuEdit->addAction(edHistory);
  m_menuView = menuBar()->addMenu(Ui("f1_Menu_2_0"));
  m_menuView->setObjectName("MenuView");
  m_menuView->addAction(mViewLog);
  m_menuView->addAction(edSearch);
  m_menuHelp = menuBar()->addMenu(Ui("f1_Menu_3_0"));
  m_menuHelp->setObjectName("MenuHelp");
  m_menuHelp->addAction(edHelp);
}

void MainWindow::CreateCentral() {
  auto* central = new QWidget(this);
  m_centralLayout = new QVBoxLayout(central);
  m_centralLayout->setContentsMargins(0, 0, 0, 0);
  m_centralLayout->setSpacing(0);
  m_tabs = new FilterTabs(m_table, central);
  m_centralLayout->addWidget(m_tabs);
  connect(m_tabs, &FilterTabs::FilterChanged, this, [this] { ShowEntryCount(CountVisibleRows()); });
  m_search = new SearchField(*m_tabs);
  m_centralLayout->insertWidget(0, m_search);
  m_incompleteBanner = new QLabel(central);
  m_incompleteBanner->setObjectName(QStringLiteral("IncompleteBanner"));
  m_incompleteBanner->setWordWrap(true);
  m_incompleteBanner->setMargin(6);
  m_incompleteBanner->setStyleSheet(
      QStringLiteral("background: #fff3c4; color: #5a4300; border-bottom: 1px solid #d9b84a;"));
  m_incompleteBanner->hide();
  m_centralLayout->addWidget(m_incompleteBanner);
  m_grid = new AccountGrid(*m_model, central);
  m_grid->SetMenuActions(edNewAccount, edDeleteAccount, edSendEmail);
  m_grid->PopupMenu()->addSeparator();
  m_grid->PopupMenu()->addAction(edRevertAccount);
  m_grid->PopupMenu()->addAction(edAccountHistory);
  m_grid->PopupMenu()->addSeparator();
  m_grid->PopupMenu()->addActions(BulkActions());
  m_grid->addAction(edDeleteAccount);
  m_centralLayout->addWidget(m_grid, 1);
  // The search looks into the text columns the operator shows.
  connect(m_grid, &AccountGrid::ColumnsChanged, this,
          [this] { m_search->SetExtraFields(m_grid->ShownTextFields()); });
  m_log = new LogPane(central);
  m_log->setObjectName("LogPane");
  m_centralLayout->addWidget(m_log);
  m_editor = new EditorPanel(*m_model, central);
  m_editor->countVisibleRows = [this] { return CountVisibleRows(); };
  m_editor->showEntryCount = [this](int count) { ShowEntryCount(count); };
  m_editor->AddRuledAction(edDeleteAccount);
  m_centralLayout->addWidget(m_editor);
  // One edit menu for the log and every text field.
  m_editPopup = new EditPopup(this);
  m_log->SetEditPopup(m_editPopup);
  m_editor->SetEditPopup(m_editPopup);
  setCentralWidget(central);

  m_entryPanel = new ValueLabel(this, 70);
  m_entryPanel->setObjectName("EntryPanel");
  m_statePanel = new ValueLabel(this, 150);
  m_statePanel->setObjectName("StatePanel");
  statusBar()->setObjectName("StatusBar1");
  statusBar()->addWidget(m_entryPanel);
  statusBar()->addWidget(m_statePanel);
  m_serverPanel = new ServerStatusPanel(
      [this] {
        const QString loaded = m_loadedServerPath;
        return loaded.isEmpty() ? m_settings.VORNEXDIR : loaded.toStdString();
      },
      this);
  statusBar()->addWidget(m_serverPanel);
}

// --- start-up -------------------------------------------------------------------------

void MainWindow::ApplyBounds() {
  QRect r(m_settings.LEFT, m_settings.TOP, std::max(m_settings.WIDTH, 600),
          std::max(m_settings.HEIGHT, 350));
  // A window saved on a screen that is gone must not open out of reach.
  QRect visible;
  for (QScreen* s : QGuiApplication::screens()) visible = visible.united(s->availableGeometry());
  if (!visible.isEmpty()) {
    if (r.width() > visible.width()) r.setWidth(std::max(600, visible.width()));
    if (r.height() > visible.height()) r.setHeight(std::max(350, visible.height()));
    const QRect title(r.left(), r.top(), r.width(), 30);
    if (!visible.intersects(title) || visible.intersected(title).width() < 100) {
      r.moveLeft(std::clamp(r.left(), visible.left(), visible.right() - r.width() + 1));
      r.moveTop(std::clamp(r.top(), visible.top(), visible.bottom() - r.height() + 1));
    }
    if (r.top() < visible.top()) r.moveTop(visible.top());
  }
  move(r.topLeft());
  resize(r.size());
}

void MainWindow::ApplyFirstStartBounds() {
  // The designed 605 x 587 cuts the toggles' names and the fields' texts, in German more so:
  // a first start gets room for what the window holds in either language, centred.
  const QSize design(kFirstStartMinimum.width(), kFirstStartMinimum.height());
  QSize size = design.expandedTo(sizeHint()).expandedTo(kFirstStartComfortable);
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s) {
    resize(size);
    return;
  }
  const QRect available = s->availableGeometry();
  size = size.boundedTo(available.size() * 0.95).expandedTo(design).boundedTo(available.size());
  QRect r(QPoint(0, 0), size);
  r.moveCenter(available.center());
  move(r.topLeft());
  resize(size);
}

void MainWindow::FormCreate() {
  UiText::Instance().RegisterUiTextKeys();
  const std::string settingsFile = SettingsFilePath(Local(m_programFolder));
  m_firstStart = !QFileInfo::exists(FromLocal(settingsFile));
  m_settings = LoadSettingsFile(settingsFile);
  ApplyBounds();
  mViewLog->setChecked(m_settings.SHOWLOG);
  m_log->SetLogHeight(m_settings.LOGH);
  m_logHeightAtStart = m_log->LogHeight();
  LoadLanguageFile(m_languageFolder, m_settings.LANG, {this});
  ApplyUiText();
  m_grid->ShowColumnsNamed(m_settings.ShownColumns);
  m_columnsAtStart = m_grid->ShownColumnNames();
  if (!m_settings.BoundsRead) ApplyFirstStartBounds();
  m_log->SetLogShown(mViewLog->isChecked());
  m_loadedAccountDir = FromLocal(m_settings.ACCOUNTDIR);
  if (!LoadSequence(Ui("ext_Log_Autoload"))) return;
  SetChangesSaved(true);
  m_editor->ShowStartupBalloon();
}

bool MainWindow::ReportReadResult(const ReadResult& result, const QString& path) {
  using S = ReadResult::Status;
  switch (result.status) {
    case S::Ok:
      return true;
    case S::FileNotFound:
      ShowNotice(this, NoticeKind::Warning, Ui("err_file_not_Found") + "\n" + path);
      return true;  // the file vanished after the check: passed over like a missing one
    case S::ReadError: {
      const QString text =
          Ui("err_file_not_Found") + "\n" + path + "\n" + FromLocal(result.message);
      AddLogLine(QString(text).replace('\n', ' '), LogPane::IconInfo);
      ShowNotice(this, NoticeKind::Error, text);
      return false;
    }
    case S::ConversionError: {
      const QString text =
          FormatText(Ui("ext_Load_BadValue"), {FromCp1252(result.text), FromLocal(result.kind)}) +
          u'\n' + FormatText(Ui("ext_Load_Where"), {path, result.lineNumber});
      AddLogLine(QString(text).replace('\n', ' '), LogPane::IconInfo);
      ShowNotice(this, NoticeKind::Error, text);
      return false;
    }
  }
  return false;
}

bool MainWindow::LoadSequence(const QString& logText) {
  m_loadComplete = false;
  m_failedFile.clear();
  // Whatever way the sequence ends, the banner and the writing commands follow it.
  struct Shown {
    MainWindow& w;
    ~Shown() { w.ShowLoadState(); }
  } shown{*this};
  const std::string dir = m_settings.ACCOUNTDIR;
  m_loadedAccountDir = FromLocal(dir);
  m_loadedServerPath = FromLocal(m_settings.VORNEXDIR);
  ReadOptions options;
  options.progress = [this](std::uint64_t pos, std::uint64_t max) {
    m_progress->SetRange(0, static_cast<qint64>(max));
    m_progress->SetPosition(static_cast<qint64>(pos));
  };
  auto readOne = [&](const char* name, bool update) -> bool {
    const std::string path = JoinPath(dir, name);
    if (!FileExists(path)) return true;
    const QString qpath = FromLocal(path);
    AddLogLine(logText + qpath, LogPane::IconInfo);
    m_progress->SetText(Ui("f1_Progressbar_Read"));
    m_progress->SetRange(0, 1);
    const auto size = FileSizeOf(path);
    if (size && *size > 0) m_progress->ShowCentered();
    ReadResult r;
    try {
      r = update ? ReadAccountUpdateFile(m_table, path, options)
                 : ReadAccountFile(m_table, path, options);
    } catch (const std::bad_alloc&) {
      // Rows grew beyond memory after the reader's own size check: what was read is kept
      // and the load counts as incomplete, so nothing is saved from it.
      r.status = ReadResult::Status::ReadError;
      r.message = TooLargeText(
          Ui(update ? "ext_Load_UpdateFile" : "ext_Load_AccountFile").toStdString().c_str(),
          size.value_or(0));
    }
    m_progress->Close();
    if (!r.emptyFile && r.status != ReadResult::Status::FileNotFound)
      ShowEntryCount(m_table.RowCount());
    const bool go_on = ReportReadResult(r, qpath);
    if (!go_on) {
      m_failedFile = qpath;
      return false;
    }
    FillAccountEditor();
    FillCharacterList();
    return true;
  };
  // A take-over between the two reads would show the accounts without the updates the server
  // just gave them, and a later save would write the old values back: read the pair again.
  for (int attempt = 0;; ++attempt) {
    const FileVersion updateBefore = VersionOfPath(JoinPath(dir, kUpdateFileName));
    if (!readOne(kAccountFileName, false)) return false;
    if (!readOne(kUpdateFileName, true)) return false;
    if (!UpdateFileTakenOverMeanwhile(updateBefore, JoinPath(dir, kUpdateFileName)) ||
        attempt == kLoadAttempts - 1)
      break;
    m_table.Empty();
  }
  m_loadComplete = true;
  emit AccountsLoaded();
  // Once the grid is on screen: a click on a title then only has to order the rows.
  QTimer::singleShot(100, m_grid, &AccountGrid::PrepareSortKeys);
  return true;
}

void MainWindow::ShowLoadState() {
  const bool incomplete = !m_loadComplete && !m_failedFile.isEmpty();
  if (incomplete)
    m_incompleteBanner->setText(
        FormatText(Ui("ext_Load_Incomplete"), {m_table.RowCount(), m_failedFile}));
  m_incompleteBanner->setVisible(incomplete);
  // A table cut short by an error must never overwrite what the server holds.
  if (incomplete || m_writesHeld) {
    for (QAction* a : {edLiveUpdate, edMakeBackup})
      if (a) a->setEnabled(!incomplete);
    m_writesHeld = incomplete;
  }
}

// --- commands -------------------------------------------------------------------------

void MainWindow::edReloadAccExecute() {
  if (busy) return;
  // Reloading would drop pending rows without a word.
  if (!ChangesSaved() &&
      MessageDialog(Ui("ext_Reload_Confirm"), MsgDlgType::Confirmation,
                    MsgDlgBtn::Yes | MsgDlgBtn::No, this, MsgDlgBtn::No) != MsgDlgBtn::Yes)
    return;
  m_table.Empty();
  FilterReset();
  if (!LoadSequence(Ui("msg_load_File"))) return;
  SetChangesSaved(true);
}

void MainWindow::edCloseExecute() { close(); }

void MainWindow::edSearchExecute() {
  m_search->setFocus(Qt::ShortcutFocusReason);
  m_search->selectAll();
}

void MainWindow::mViewLogExecute() { m_log->SetLogShown(mViewLog->isChecked()); }

// --- shared helpers -------------------------------------------------------------------

void MainWindow::AddLogLine(const QString& text, int icon) {
  m_log->AddLogLine(text, icon);
  if (m_diskLog.Append(text, icon)) {
    m_diskLogFailed = false;
  } else if (!m_diskLogFailed) {
    m_diskLogFailed = true;
    m_log->AddLogLine(
        FormatText(Ui("ext_Log_FileFailed"),
                   {QDir::toNativeSeparators(m_diskLog.Path()), m_diskLog.LastError()}),
        LogPane::IconInfo);
  }
}

void MainWindow::ReportNotSent(const QString& shown, const QString& reason) {
  const QString updateFile = QDir::toNativeSeparators(
      QDir(m_loadedAccountDir).filePath(QString::fromLatin1(kUpdateFileName)));
  AddLogLine(FormatText(Ui("ext_Log_NotSent"), {reason}), LogPane::IconInfo);
  ShowNotice(this, NoticeKind::Warning,
             shown + QStringLiteral("\n\n") + FormatText(Ui("ext_NotSent_A"), {updateFile}));
}

void MainWindow::SetChangesSaved(bool saved) {
  m_settings.ChangesSaved = saved;
  // Saved into the update file is not yet taken over: rows still marked say so.
  const char* key = "f1_panel_1_nosaved";
  if (saved) key = AnyRowPending() ? "ext_panel_waiting" : "f1_panel_1_saved";
  m_statePanel->SetValue(Ui(key));
}

bool MainWindow::AnyRowPending() const {
  for (RowId row : m_table.Order()) {
    const int s = m_table.IntOr0(row, dbstatus);
    if (s == StatusChanged || s == StatusNew) return true;
  }
  return false;
}

void MainWindow::AfterPost(RowId) {
  if (m_settings.ChangesSaved || m_statePanel->text().isEmpty()) SetChangesSaved(false);
}

void MainWindow::ShowEntryCount(int count) {
  m_entryCount = count;
  m_entryPanel->SetValue(FormatText(Ui("f1_panel_0"), {count}));
}

QTableView* MainWindow::Grid() const { return m_grid; }

int MainWindow::CountVisibleRows() const {
  m_grid->ClearMultiSelection();
  return m_table.ViewCount();
}

void MainWindow::FilterReset() { m_tabs->FilterReset(); }

void MainWindow::FillAccountEditor() { m_editor->FillAccountEditor(); }
void MainWindow::FillCharacterList() { m_editor->FillCharacterList(); }

void MainWindow::ApplyUiText() {
  ShowEntryCount(m_entryCount);  // the rows shown now, in the new language
  SetChangesSaved(m_settings.ChangesSaved);
  edNewAccount->setText(Ui("f1_Action_New_Account"));
  edDeleteAccount->setText(Ui("f1_Action_Delete_Account"));
  edClose->setText(Ui("f1_Action_Close"));
  edHelp->setText(Ui("f1_Action_Help"));
  edLiveUpdate->setText(Ui("f1_Action_Save"));
  edReloadAcc->setText(Ui("f1_Action_Reload"));
  mViewLog->setText(Ui("f1_Action_ShowLog"));
  edMakeBackup->setText(Ui("f1_Action_Make_Backup"));
  edExportExcel->setText(Ui("exp_Menu_Excel"));
  edExportHTML->setText(Ui("exp_Menu_HTML"));
  edSendEmail->setText(Ui("f1_Action_send_Email"));
  edSettingsForm->setText(Ui("f1_Action_SettingsForm"));
  edSearch->setText(Ui("ext_Action_Search"));
  edExportCSV->setText(Ui("ext_Menu_CSV"));
  edReviewChanges->setText(Ui("ext_Action_Review"));
  edRevertAccount->setText(Ui("ext_Action_Revert"));
  edBulkBlock->setText(Ui("ext_Bulk_Block"));
  edBulkUnblock->setText(Ui("ext_Bulk_Unblock"));
  edBulkJail->setText(Ui("ext_Bulk_Jail"));
  edBulkRelease->setText(Ui("ext_Bulk_Release"));
  edBulkLevel->setText(Ui("ext_Bulk_Level"));
  edBulkFlag->setText(Ui("ext_Bulk_Flag"));
  edRestoreBackup->setText(Ui("ext_Action_Restore"));
  edHistory->setText(Ui("ext_Action_History"));
  edAccountHistory->setText(Ui("ext_Action_AccountHistory"));
  m_search->ApplyUiText();
  m_editPopup->ApplyUiText();
  m_tabs->ApplyUiText();
  m_editor->ApplyUiText();
  m_log->ApplyUiText();
  m_serverPanel->ApplyUiText();
  m_menuFile->setTitle(Ui("f1_Menu_0_0"));
  m_menuEdit->setTitle(Ui("f1_Menu_1_0"));
  m_menuView->setTitle(Ui("f1_Menu_2_0"));
  m_menuHelp->setTitle(Ui("f1_Menu_3_0"));
  m_model->ApplyUiText();
  emit UiTextApplied();
}

// --- shutdown -------------------------------------------------------------------------

bool MainWindow::FormCloseQuery() {
  if (busy) return false;
  if (m_settings.ChangesSaved) return true;
  const MsgDlgBtn answer = MessageDialog(Ui("frg_Exit_Confirm"), MsgDlgType::Confirmation,
                                         MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel, this);
  if (answer == MsgDlgBtn::No) return true;
  if (answer != MsgDlgBtn::Yes) return false;
  // Closing after Yes only once the pending rows are really on disk.
  if (!saveHandler || !saveHandler()) return false;
  SetChangesSaved(true);
  return true;
}

void MainWindow::FormClose() {
  m_table.Empty();
  // The same geometry ApplyBounds sets: the frame's position (move) and the client's size
  // (resize). Taking the client's position would move the window by the frame at every start.
  // A maximised window keeps its maximised bounds; a minimised one its normal bounds.
  const QPoint frameOffset = frameGeometry().topLeft() - geometry().topLeft();
  const QRect r = isMinimized() ? normalGeometry().translated(frameOffset)
                                : QRect(frameGeometry().topLeft(), size());
  m_settings.LEFT = r.left();
  m_settings.TOP = r.top();
  m_settings.HEIGHT = r.height();
  m_settings.WIDTH = r.width();
  m_settings.SHOWLOG = mViewLog->isChecked();
  // A height the pane could not take (too tall for it) is kept as read until the operator
  // drags the pane.
  if (m_log->LogHeight() != m_logHeightAtStart) m_settings.LOGH = m_log->LogHeight();
  // Columns the operator left as they were keep their line as written (names unknown to
  // this version included).
  if (m_grid->ShownColumnNames() != m_columnsAtStart)
    m_settings.ShownColumns = m_grid->ShownColumnNames();
  const std::string path = SettingsFilePath(Local(m_programFolder));
  const auto saved = SaveSettingsFile(path, m_settings);
  if (!saved.ok)
    ShowNotice(this, NoticeKind::Warning,
               FormatText(Ui("ext_Settings_CannotWrite"), {FromLocal(path)}) + u'\n' +
                   FromLocal(saved.error));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (m_closing) {
    event->accept();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  m_closing = true;
  FormClose();
  event->accept();
}

}  // namespace kov
