#include "ui/chars/CharacterWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/editor/EditorPanel.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {

constexpr int kValueWidth = 150;  // value labels clip longer texts
constexpr int kNameColumn = 150;
constexpr int kValueColumn = 77;

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

CharacterWindow::CharacterWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("CharInfoForm");
  setWindowTitle(Ui("ext_Char_Title"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);

  m_generalBox = new QGroupBox(this);
  m_generalBox->setObjectName("GroupBox2");
  auto* general = new QGridLayout(m_generalBox);
  for (std::size_t i = 0; i < kCharacterGeneralCount; ++i) {
    const QString caption = QString::fromLatin1(kCharacterGeneralCaptions[i]);
    auto* name = new QLabel(caption + ":", m_generalBox);
    name->setObjectName("lbl" + caption);
    auto* value = new QLabel(m_generalBox);
    value->setObjectName("val" + caption);
    value->setTextFormat(Qt::PlainText);  // a player's name must not become markup
    value->setFixedWidth(kValueWidth);
    m_values[i] = value;
    general->addWidget(name, static_cast<int>(i), 0);
    general->addWidget(value, static_cast<int>(i), 1);
  }

  m_skillsBox = new QGroupBox(this);
  m_skillsBox->setObjectName("GroupBox3");
  SkillList = new QTableWidget(1, 2, m_skillsBox);
  SkillList->setObjectName("SkillList");
  SkillList->setHorizontalHeaderLabels({Ui("ext_Char_SkillName"), Ui("ext_Char_SkillValue")});
  SkillList->setColumnWidth(0, kNameColumn);
  SkillList->setColumnWidth(1, kValueColumn);
  SkillList->horizontalHeader()->setStretchLastSection(false);
  SkillList->verticalHeader()->hide();
  SkillList->setSelectionBehavior(QAbstractItemView::SelectRows);
  SkillList->setSelectionMode(QAbstractItemView::SingleSelection);
  SkillList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SkillList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  SkillList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SkillList->setWordWrap(false);
  SkillList->verticalHeader()->setDefaultSectionSize(SkillList->fontMetrics().height() + 4);
  SkillList->setFixedWidth(kNameColumn + kValueColumn +
                           SkillList->verticalScrollBar()->sizeHint().width() +
                           2 * SkillList->frameWidth());
  auto* skills = new QVBoxLayout(m_skillsBox);
  skills->addWidget(SkillList);

  m_characterBox = new QGroupBox(this);
  m_characterBox->setObjectName("GroupBox1");
  auto* both = new QHBoxLayout(m_characterBox);
  both->addWidget(m_generalBox);
  both->addWidget(m_skillsBox);

  LabelMoreUID = new QLabel(this);
  LabelMoreUID->setObjectName("LabelMoreUID");
  m_characterChoice = new QComboBox(this);
  m_characterChoice->setObjectName("ComboBox1");
  m_characterChoice->setEditable(false);
  m_characterChoice->setMinimumContentsLength(10);
  btnCancel = new QPushButton(this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->setFlat(true);
  btnCancel->setAutoDefault(false);
  auto* bar = new QHBoxLayout;
  bar->addWidget(LabelMoreUID);
  bar->addWidget(m_characterChoice);
  bar->addStretch(1);
  bar->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_characterBox);
  layout->addLayout(bar);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  // activated, not currentIndexChanged: only the operator's pick reads a character.
  connect(m_characterChoice, &QComboBox::activated, this, &CharacterWindow::CharacterChoiceChange);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  ApplyUiText();
}

void CharacterWindow::ApplyUiText() {
  m_characterBox->setTitle(Ui("CharInfo_GroupBox1"));
  m_generalBox->setTitle(Ui("CharInfo_GroupBox2"));
  m_skillsBox->setTitle(Ui("CharInfo_GroupBox3"));
  btnCancel->setText(Ui("CharInfo_Cancel"));
  LabelMoreUID->setText(Ui("CharInfo_MoreUID"));
  setWindowTitle(Ui("ext_Char_Title"));
  SkillList->setHorizontalHeaderLabels({Ui("ext_Char_SkillName"), Ui("ext_Char_SkillValue")});
}

void CharacterWindow::SetCharacterChoices(const QStringList& uids, int index) {
  const QSignalBlocker block(m_characterChoice);
  m_characterChoice->clear();
  m_characterChoice->addItems(uids);
  m_characterChoice->setCurrentIndex(index);
}

void CharacterWindow::Blank() {
  for (QLabel* value : m_values) value->clear();
  SkillList->clearContents();
  SkillList->setRowCount(0);
}

void CharacterWindow::ReadCharacterFile(const QString& uid) {
  const std::string path = m_saveDir + kCharacterFileName;
  // A uid Windows-1252 cannot hold is on no line of the file; a line end stands on none.
  const std::string key = ToCp1252(uid).value_or(std::string("\n"));
  QApplication::setOverrideCursor(Qt::WaitCursor);  // a save file can take a moment
  const CharacterReadResult result = kov::ReadCharacterFile(path, key);
  QApplication::restoreOverrideCursor();
  if (result.status == CharacterFileStatus::FileMissing) return;

  m_characterBox->setTitle(Ui("CharInfo_GroupBox1") + " (" + uid + ")");
  Blank();
  for (std::size_t i = 0; i < kCharacterGeneralCount; ++i) {
    m_values[i]->setText(FromCp1252(result.record.general[i]));
  }
  SkillList->setRowCount(static_cast<int>(result.record.skills.size()));
  int row = 0;
  for (const auto& [name, value] : result.record.skills) {
    SkillList->setItem(row, 0, ReadOnlyItem(FromCp1252(name)));
    SkillList->setItem(row, 1, ReadOnlyItem(FromCp1252(value)));
    ++row;
  }
  if (result.status == CharacterFileStatus::ReadError) {
    ShowNotice(this, NoticeKind::Warning,
               FormatText(Ui("ext_Char_CannotRead"),
                          {QString::fromLocal8Bit(path), QString::fromLocal8Bit(result.error)}));
  }
}

void CharacterWindow::CharacterChoiceChange(int index) {
  if (index >= 0) ReadCharacterFile(m_characterChoice->itemText(index));
}

void CharacterWindow::ShowCharacter(const QStringList& choices, int index,
                                    const std::string& saveDir) {
  m_saveDir = saveDir;
  SetCharacterChoices(choices, index);
  if (index >= 0 && index < choices.size()) ReadCharacterFile(choices[index]);
  exec();
}

void CharacterWindow::ShowCharacter(const QString& uid, const QStringList& choices,
                                    const std::string& saveDir) {
  const int index = static_cast<int>(choices.indexOf(uid));
  m_saveDir = saveDir;
  SetCharacterChoices(choices, index);
  ReadCharacterFile(uid);
  exec();
}

void CharacterWindow::ConnectCharacterList(EditorPanel& panel,
                                           std::function<std::string()> saveDir) {
  connect(&panel, &EditorPanel::ShowCharInfoRequested, this,
          [this, saveDir = std::move(saveDir)](const QString&, const QStringList& uids, int index) {
            ShowCharacter(uids, index, saveDir());
          });
}

QString CharacterWindow::GeneralText(std::size_t label) const {
  return label < m_values.size() ? m_values[label]->text() : QString();
}

QStringList CharacterWindow::SkillRow(int row) const {
  QStringList cells;
  for (int c = 0; c < SkillList->columnCount(); ++c) {
    const QTableWidgetItem* item = SkillList->item(row, c);
    cells << (item ? item->text() : QString());
  }
  return cells;
}

}  // namespace kov
