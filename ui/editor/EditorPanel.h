#pragma once
// The group "Account Edit": shows the current row of the table and stores every edit into
// it at once.
#include <QGroupBox>
#include <QList>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "store/AccountTable.h"
#include "store/RowEdits.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QToolButton;

namespace kov {

class AccountModel;
class ValueLabel;
class EditPopup;

class EditorPanel : public QGroupBox {
  Q_OBJECT

 public:
  struct Toggle {
    const char* action;
    const char* caption;  // the action's own name, kept as it is; the box shows `key`
    std::uint32_t bit;
    const char* key;  // UiText
  };
  static const std::array<Toggle, 15> kToggles;  // column by column, top to bottom
  enum ToggleIndex { JailedToggle = 11, BlockedToggle = 13 };

  explicit EditorPanel(AccountModel& model, QWidget* parent = nullptr);

  // What the panel needs from the main window: the visible-row count (which also ends any
  // multi-selection) and the entry panel.
  std::function<int()> countVisibleRows;
  std::function<void(int)> showEntryCount;
  // The password button's source of new passwords (GeneratePassword(6) unless replaced).
  std::function<std::string()> passwordGenerator;

  void SetEditPopup(EditPopup* popup);
  // Actions that share the toggles' enable rule (Delete Account).
  void AddRuledAction(QAction* action);

  void FillAccountEditor();
  void FillCharacterList();
  void cbAdminPrivUpdate();
  void ApplyUiText();
  // The start-up tip on the character list.
  void ShowStartupBalloon();

  // Toggle handlers, run when the operator ticks or unticks a toggle.
  void cbBitExecute(int toggle);
  void cbBlockedExecute();
  void cbJailedExecute();
  // Field handlers: a key released in a text field, a level or language picked, the
  // password button.
  void FieldKeyUp(QLineEdit* field);
  void LevelClick(int index);
  void LanguageClick(int index);
  void GeneratePasswordClick();

  QAction* ToggleAction(int toggle) const { return m_actions[static_cast<size_t>(toggle)]; }
  QCheckBox* ToggleBox(int toggle) const { return m_boxes[static_cast<size_t>(toggle)]; }
  QGroupBox* PrivFlagsBox() const { return m_privFlagsBox; }
  QListWidget* CharacterList() const { return m_characterList; }
  QMenu* CharInfoPopup() const { return m_charPopup; }
  QAction* edShowCharInfoForm() const { return m_showCharInfo; }
  QToolButton* GeneratePasswordButton() const { return m_generatePassword; }

 signals:
  // "Show Char Infos": the chosen uid, all uids of the account and the chosen one's index.
  void ShowCharInfoRequested(const QString& uid, const QStringList& uids, int index);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct TextField {
    QLineEdit* edit;
    Field field;
  };
  void BuildLayout();
  void OnCurrentChanged();
  void OnRowFieldsChanged();
  void ShowRow();
  void TextEdited(const TextField& tf);
  // The field's text as bytes for the row, or nullopt after telling the operator why not.
  std::optional<std::string> Encode(QLineEdit* edit);
  void RevertField(QLineEdit* edit, Field field);
  void SetFlagsCaption(std::string_view flags);
  bool ReadFlags(std::uint32_t& value);
  // The shared edit rules on the current row; nullopt after telling the operator why not.
  std::optional<RowValues> ValuesOf(const RowEdit& edit);
  void SetToggleChecked(int toggle, bool on);
  void UpdateShowCharInfo();
  const TextField* FieldOf(QObject* edit) const;

  AccountModel& m_model;
  AccountTable& m_table;
  std::array<QAction*, 15> m_actions{};
  std::array<QCheckBox*, 15> m_boxes{};
  QList<TextField> m_textFields;
  QList<QAction*> m_ruledActions;
  QList<QWidget*> m_ruledWidgets;
  QLabel* m_labels[6] = {};  // Password, Email, PLevel, Chatname, Language, Comment
  QLineEdit* m_password = nullptr;
  QLineEdit* m_email = nullptr;
  QLineEdit* m_chatName = nullptr;
  QLineEdit* m_comment = nullptr;
  QComboBox* m_level = nullptr;
  QComboBox* m_language = nullptr;
  QToolButton* m_generatePassword = nullptr;
  ValueLabel* m_shown[7] = {};  // read-only connection values
  QLabel* m_charCountCaption = nullptr;
  ValueLabel* m_charCount = nullptr;
  QListWidget* m_characterList = nullptr;
  std::array<QLabel*, 7> m_displayCaptions{};  // the connection data's captions
  QLabel* m_uidsCaption = nullptr;
  QMenu* m_charPopup = nullptr;
  QAction* m_showCharInfo = nullptr;
  QGroupBox* m_privFlagsBox = nullptr;
  std::string m_captionFlags = "$0";  // the flag text the caption shows
  std::string m_seenPriv;             // the current row's flag text when last looked at
  RowId m_seenRow = kNoRow;
};

}  // namespace kov
