#pragma once
// The character info window: one character of the selected account, read from the server's
// save file, with a drop-down to switch to the account's other characters. Created once,
// hidden between uses, modal while shown. Nothing is ever written to the save file.
#include <QDialog>
#include <QStringList>
#include <array>
#include <functional>
#include <string>

#include "chars/CharacterFile.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kov {

class EditorPanel;

class CharacterWindow : public QDialog {
  Q_OBJECT

 public:
  explicit CharacterWindow(QWidget* parent = nullptr);

  // SAVEDIR, trailing separator included; the save file is this folder + vornexchars.scp.
  void SetSaveDir(const std::string& saveDir) { m_saveDir = saveDir; }
  const std::string& SaveDir() const { return m_saveDir; }

  // Replaces the drop-down's items and selects the one at index; reads nothing.
  void SetCharacterChoices(const QStringList& uids, int index);
  // Shows the character from the save file. A missing file changes nothing; a uid that no
  // section holds shows an empty record under the uid's caption.
  void ReadCharacterFile(const QString& uid);
  void ApplyUiText();

  // "Show Char Infos" on the character list: the list's uids as choices, the selected one
  // read, then the window shown modally. Returns when the window is closed.
  void ShowCharacter(const QStringList& choices, int index, const std::string& saveDir);
  void ShowCharacter(const QString& uid, const QStringList& choices, const std::string& saveDir);
  // Opens this window for "Show Char Infos" on the panel's character list, reading from the
  // folder saveDir() names at that moment (SAVEDIR).
  void ConnectCharacterList(EditorPanel& panel, std::function<std::string()> saveDir);

  // What the window shows, for tests and tools.
  QString GeneralText(std::size_t label) const;
  QStringList SkillRow(int row) const;

 private:
  void Blank();
  void CharacterChoiceChange(int index);

  QGroupBox* m_characterBox = nullptr;  // outer: "Char Info (uid)"
  QGroupBox* m_generalBox = nullptr;    // General
  QGroupBox* m_skillsBox = nullptr;     // Skills
  std::array<QLabel*, kCharacterGeneralCount> m_values{};
  QTableWidget* SkillList = nullptr;
  QLabel* LabelMoreUID = nullptr;
  QComboBox* m_characterChoice = nullptr;
  QPushButton* btnCancel = nullptr;
  std::string m_saveDir;
};

}  // namespace kov
