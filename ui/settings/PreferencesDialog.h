#pragma once
// The preferences dialog "PrefsForm": where the server lives, the interface language and
// whether saved changes are pushed to the running server. It edits the settings record in
// memory only; kov.ini receives it when the program ends.
#include <QDialog>

class QCheckBox;
class QSpinBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace kov {

class EditPopup;
class UiTextWindows;
struct ProgramSettings;

class PreferencesDialog : public QDialog {
  Q_OBJECT

 public:
  // `languageFolder` holds english.xml and german.xml; `windows` are re-texted by a language
  // switch; `editPopup` (may be null) becomes the three fields' context menu.
  PreferencesDialog(ProgramSettings& settings, QString languageFolder, UiTextWindows& windows,
                    EditPopup* editPopup, QWidget* parent = nullptr);

  // Captions from UiText, then the fields, language box and check box from the settings.
  void ApplyUiText();

  // edSettingsForm: the dialog shows the stored settings, not text left from a cancel.
  // `focus`: the field the operator is sent to (the server's executable at a first start).
  void Execute(QWidget* focus = nullptr);

  // The operator picked a language: takes effect at once, Cancel does not undo it.
  void SwitchLanguage(int index);

  void btnUseClick();
  void btnVornexDirClick();
  void btnAccountDirClick();
  void btnSaveDirClick();

  // The file each field should lead to: the text itself, or the text followed directly by
  // the file name (no separator added, so a folder typed without one shows red).
  static QString ExpectedFile(const QString& fieldText, const char* fileName);

  QTabWidget* Pages() const { return m_pages; }
  QLineEdit* vornexdir() const { return m_vornexDir; }
  QLineEdit* AccountDir() const { return m_accountDir; }
  QLineEdit* SaveDir() const { return m_saveDir; }
  QLabel* VornexDirLabel() const { return m_vornexLabel; }
  QLabel* AccountDirLabel() const { return m_accountLabel; }
  QLabel* SaveDirLabel() const { return m_saveLabel; }
  QToolButton* btnVornexDir() const { return m_vornexButton; }
  QToolButton* btnAccountDir() const { return m_accountButton; }
  QToolButton* btnSaveDir() const { return m_saveButton; }
  QLabel* LanguageLabel() const { return m_languageLabel; }
  QComboBox* LanguageBox() const { return m_language; }
  QCheckBox* AutoUpdate() const { return m_autoUpdate; }
  QPushButton* btnUse() const { return m_use; }
  QPushButton* btnCancel() const { return m_cancel; }

 private:
  void LoadFields();
  void CheckField(QLineEdit* field, const char* fileName);
  void PickFolder(QLineEdit* field);

  ProgramSettings& m_settings;
  QString m_languageFolder;
  UiTextWindows& m_windows;

  QTabWidget* m_pages = nullptr;
  QLineEdit* m_vornexDir = nullptr;
  QLineEdit* m_accountDir = nullptr;
  QLineEdit* m_saveDir = nullptr;
  QLabel* m_vornexLabel = nullptr;
  QLabel* m_accountLabel = nullptr;
  QLabel* m_saveLabel = nullptr;
  QToolButton* m_vornexButton = nullptr;
  QToolButton* m_accountButton = nullptr;
  QToolButton* m_saveButton = nullptr;
  QLabel* m_languageLabel = nullptr;
  QComboBox* m_language = nullptr;
  QLabel* m_autoUpdateLabel = nullptr;
  QCheckBox* m_autoUpdate = nullptr;
  QLabel* m_takeOverWaitLabel = nullptr;
  QSpinBox* m_takeOverWait = nullptr;
  QPushButton* m_use = nullptr;
  QPushButton* m_cancel = nullptr;
  QString m_selectDirTitle;
  QString m_selectDirText;
};

}  // namespace kov
