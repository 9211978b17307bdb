#include "ui/settings/PreferencesDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "chars/CharacterFile.h"
#include "settings/ProgramSettings.h"
#include "store/LoadAccounts.h"
#include "ui/settings/LanguageFile.h"
#include "ui/settings/UiText.h"
#include "ui/settings/UiTextWindows.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"

namespace kov {

namespace {

constexpr QSize kFlagSize(20, 14);

QPixmap EnglishFlag() {
  QPixmap pixmap(kFlagSize);
  pixmap.fill(QColor(1, 33, 105));
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal w = kFlagSize.width(), h = kFlagSize.height();
  p.setPen(QPen(Qt::white, 3));
  p.drawLine(QPointF(0, 0), QPointF(w, h));
  p.drawLine(QPointF(w, 0), QPointF(0, h));
  p.setPen(QPen(QColor(200, 16, 46), 1));
  p.drawLine(QPointF(0, 0), QPointF(w, h));
  p.drawLine(QPointF(w, 0), QPointF(0, h));
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRectF(0, h / 2 - 2.5, w, 5), Qt::white);
  p.fillRect(QRectF(w / 2 - 2.5, 0, 5, h), Qt::white);
  p.fillRect(QRectF(0, h / 2 - 1.5, w, 3), QColor(200, 16, 46));
  p.fillRect(QRectF(w / 2 - 1.5, 0, 3, h), QColor(200, 16, 46));
  return pixmap;
}

QPixmap GermanFlag() {
  QPixmap pixmap(kFlagSize);
  QPainter p(&pixmap);
  const int w = kFlagSize.width(), h = kFlagSize.height();
  p.fillRect(0, 0, w, h, QColor(255, 206, 0));
  p.fillRect(0, 0, w, 2 * h / 3, QColor(221, 0, 0));
  p.fillRect(0, 0, w, h / 3, Qt::black);
  return pixmap;
}

QString WithSeparator(QString folder) {
  if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\')))
    folder += QDir::separator();
  return folder;
}

std::string ToSetting(const QString& text) { return text.toStdString(); }
QString FromSetting(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

PreferencesDialog::PreferencesDialog(ProgramSettings& settings, QString languageFolder,
                                     UiTextWindows& windows, EditPopup* editPopup, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_languageFolder(std::move(languageFolder)),
      m_windows(windows) {
  setObjectName(QStringLiteral("PrefsForm"));
  setWindowTitle(QStringLiteral("PrefsForm"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  m_pages = new QTabWidget(this);
  m_pages->setObjectName(QStringLiteral("PageControl1"));
  auto* page = new QWidget(m_pages);
  page->setObjectName(QStringLiteral("TabSheet1"));
  m_pages->addTab(page, QString());
  auto* grid = new QGridLayout(page);

  auto makeField = [&](QLineEdit*& field, QLabel*& label, QToolButton*& button, const char* name,
                       const char* labelName, const char* buttonName, int row) {
    label = new QLabel(page);
    label->setObjectName(QLatin1String(labelName));
    field = new QLineEdit(page);
    field->setObjectName(QLatin1String(name));
    field->setMinimumWidth(320);
    label->setBuddy(field);
    button = new QToolButton(page);
    button->setObjectName(QLatin1String(buttonName));
    button->setText(QStringLiteral("..."));
    if (editPopup) editPopup->Attach(field);
    grid->addWidget(label, row * 2, 0, 1, 2);
    grid->addWidget(field, row * 2 + 1, 0);
    grid->addWidget(button, row * 2 + 1, 1);
  };
  makeField(m_vornexDir, m_vornexLabel, m_vornexButton, "vornexdir", "Label1", "btnVornexDir", 0);
  makeField(m_accountDir, m_accountLabel, m_accountButton, "AccountDir", "Label2", "btnAccountDir",
            1);
  makeField(m_saveDir, m_saveLabel, m_saveButton, "SaveDir", "Label3", "btnSaveDir", 2);

  // The colour follows every change of the text, typed or set by the program.
  connect(m_vornexDir, &QLineEdit::textChanged, this, [this] { CheckField(m_vornexDir, nullptr); });
  connect(m_accountDir, &QLineEdit::textChanged, this,
          [this] { CheckField(m_accountDir, kAccountFileName); });
  connect(m_saveDir, &QLineEdit::textChanged, this,
          [this] { CheckField(m_saveDir, kCharacterFileName); });
  connect(m_vornexButton, &QToolButton::clicked, this, &PreferencesDialog::btnVornexDirClick);
  connect(m_accountButton, &QToolButton::clicked, this, &PreferencesDialog::btnAccountDirClick);
  connect(m_saveButton, &QToolButton::clicked, this, &PreferencesDialog::btnSaveDirClick);

  m_languageLabel = new QLabel(page);
  m_languageLabel->setObjectName(QStringLiteral("Label4"));
  m_language = new QComboBox(page);
  m_language->setObjectName(QStringLiteral("LanguageBox"));
  m_language->setIconSize(kFlagSize);
  m_language->addItem(QIcon(EnglishFlag()), QStringLiteral("english"));
  m_language->addItem(QIcon(GermanFlag()), QStringLiteral("deutsch"));
  m_languageLabel->setBuddy(m_language);
  // Only the operator's pick switches; loading the box from the settings does not.
  connect(m_language, &QComboBox::activated, this, &PreferencesDialog::SwitchLanguage);
  auto* languageRow = new QHBoxLayout;
  languageRow->addWidget(m_languageLabel);
  languageRow->addWidget(m_language);
  languageRow->addStretch(1);
  grid->addLayout(languageRow, 6, 0, 1, 2);

  m_autoUpdateLabel = new QLabel(page);
  m_autoUpdateLabel->setObjectName(QStringLiteral("Label5"));
  m_autoUpdate = new QCheckBox(page);
  m_autoUpdate->setObjectName(QStringLiteral("cbAccAutoUpdate"));
  m_autoUpdateLabel->setBuddy(m_autoUpdate);
  auto* autoRow = new QHBoxLayout;
  autoRow->addWidget(m_autoUpdateLabel);
  autoRow->addWidget(m_autoUpdate);
  autoRow->addStretch(1);
  grid->addLayout(autoRow, 7, 0, 1, 2);
  m_takeOverWaitLabel = new QLabel(page);
  m_takeOverWaitLabel->setObjectName(QStringLiteral("lblTakeOverWait"));
  m_takeOverWait = new QSpinBox(page);
  m_takeOverWait->setObjectName(QStringLiteral("seTakeOverWait"));
  m_takeOverWait->setRange(0, 3600);
  m_takeOverWaitLabel->setBuddy(m_takeOverWait);
  auto* waitRow = new QHBoxLayout;
  waitRow->addWidget(m_takeOverWaitLabel);
  waitRow->addWidget(m_takeOverWait);
  waitRow->addStretch(1);
  grid->addLayout(waitRow, 8, 0, 1, 2);
  grid->setRowStretch(9, 1);

  m_use = new QPushButton(this);
  m_use->setObjectName(QStringLiteral("btnUse"));
  m_use->setFlat(true);
  m_cancel = new QPushButton(this);
  m_cancel->setObjectName(QStringLiteral("btnCancel"));
  m_cancel->setFlat(true);
  m_use->setAutoDefault(false);
  m_cancel->setAutoDefault(false);
  connect(m_use, &QPushButton::clicked, this, &PreferencesDialog::btnUseClick);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_use);
  buttons->addWidget(m_cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_pages);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  m_windows.Add(UiTextWindows::Preferences, this, [this] { ApplyUiText(); });
  ApplyUiText();
}

void PreferencesDialog::ApplyUiText() {
  m_cancel->setText(Ui("prefs_Cancel"));
  m_use->setText(Ui("prefs_Use"));
  m_selectDirTitle = Ui("prefs_SelectDir_Title");
  m_selectDirText = Ui("prefs_SelectDir_Text");
  LoadFields();
  m_languageLabel->setText(Ui("Language"));
  m_pages->setTabText(0, Ui("f1_Action_SettingsForm"));
  m_autoUpdate->setChecked(m_settings.ACCAUTOUPDATE);
  m_takeOverWaitLabel->setText(Ui("ext_Prefs_TakeOverWait"));
  m_takeOverWait->setSuffix(Ui("ext_Prefs_Seconds"));
  const QString folder = Ui("prefs_Ordner");
  m_vornexLabel->setText(FormatText(Ui("ext_Prefs_VornexDir"), {folder}));
  m_accountLabel->setText(FormatText(Ui("ext_Prefs_AccountDir"), {folder}));
  m_saveLabel->setText(FormatText(Ui("ext_Prefs_SaveDir"), {folder}));
  m_autoUpdateLabel->setText(Ui("ext_Prefs_AutoUpdate"));
}

void PreferencesDialog::LoadFields() {
  m_vornexDir->setText(FromSetting(m_settings.VORNEXDIR));
  m_accountDir->setText(FromSetting(m_settings.ACCOUNTDIR));
  m_saveDir->setText(FromSetting(m_settings.SAVEDIR));
  m_language->setCurrentIndex(m_settings.LANG == 0 || m_settings.LANG == 1 ? m_settings.LANG : -1);
  m_autoUpdate->setChecked(m_settings.ACCAUTOUPDATE);
  m_takeOverWait->setValue(m_settings.TAKEOVERWAIT);
  // setText does not signal when the text is unchanged, but the file may have come or gone.
  CheckField(m_vornexDir, nullptr);
  CheckField(m_accountDir, kAccountFileName);
  CheckField(m_saveDir, kCharacterFileName);
}

void PreferencesDialog::Execute(QWidget* focus) {
  LoadFields();
  if (focus) {
    // Focus set before exec() is overridden by the dialog's first field when it opens.
    QTimer::singleShot(0, focus, [focus] { focus->setFocus(Qt::OtherFocusReason); });
  }
  exec();
}

QString PreferencesDialog::ExpectedFile(const QString& fieldText, const char* fileName) {
  return fileName ? fieldText + QLatin1String(fileName) : fieldText;
}

void PreferencesDialog::CheckField(QLineEdit* field, const char* fileName) {
  const QString path = ExpectedFile(field->text(), fileName);
  const bool found = !path.isEmpty() && QFileInfo(path).isFile();
  QPalette palette = field->palette();
  palette.setColor(QPalette::Text, found ? QColor(0, 128, 0) : QColor(255, 0, 0));
  field->setPalette(palette);
}

void PreferencesDialog::btnUseClick() {
  m_settings.VORNEXDIR = ToSetting(m_vornexDir->text());
  // Without the separator every path built from these folders would be wrong until the
  // next start, when reading kov.ini would add it.
  m_settings.ACCOUNTDIR = AppendPathSeparator(ToSetting(m_accountDir->text()));
  m_settings.SAVEDIR = AppendPathSeparator(ToSetting(m_saveDir->text()));
  if (m_language->currentIndex() >= 0) m_settings.LANG = m_language->currentIndex();
  m_settings.ACCAUTOUPDATE = m_autoUpdate->isChecked();
  m_settings.TAKEOVERWAIT = m_takeOverWait->value();
  accept();
}

void PreferencesDialog::btnVornexDirClick() {
  FileDialogRequest request{FileDialogRequest::Kind::Program, QString(), QString(), QString(),
                            QString()};
#ifdef _WIN32
  request.filter = QStringLiteral("Exe (*.exe)");
#endif
  // Start beside the configured program rather than at the platform's default folder.
  const QString current = m_vornexDir->text();
  const QFileInfo info(current);
  request.directory = current.isEmpty() ? QString()
                      : WithSeparator(QDir::toNativeSeparators(info.isDir() ? current : info.path()));
  const QString chosen = AskFileName(this, request);
  if (chosen.isEmpty()) return;
  const QString program = QDir::toNativeSeparators(chosen);
  const QString folder = WithSeparator(QDir::toNativeSeparators(QFileInfo(chosen).path()));
  m_vornexDir->setText(program);
  m_accountDir->setText(folder + QStringLiteral("accounts") + QDir::separator());
  m_saveDir->setText(folder + QStringLiteral("save") + QDir::separator());
}

void PreferencesDialog::PickFolder(QLineEdit* field) {
  FileDialogRequest request{FileDialogRequest::Kind::Folder,
                            m_selectDirTitle,
                            field->text(),
                            QString(),
                            QString(),
                            m_selectDirText};
  const QString chosen = AskFileName(this, request);
  if (chosen.isEmpty()) return;
  field->setText(WithSeparator(QDir::toNativeSeparators(chosen)));
}

void PreferencesDialog::btnAccountDirClick() { PickFolder(m_accountDir); }
void PreferencesDialog::btnSaveDirClick() { PickFolder(m_saveDir); }

void PreferencesDialog::SwitchLanguage(int index) {
  if (index < 0) return;
  m_settings.LANG = index;
  const QWidgetList tops = QApplication::topLevelWidgets();
  LoadLanguageFile(m_languageFolder, m_settings.LANG, QList<QWidget*>(tops.begin(), tops.end()),
                   this);
  m_windows.ApplyAll();
}

}  // namespace kov
