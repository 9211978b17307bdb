#include "ui/editor/EditorPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "store/GeneratePassword.h"
#include "store/PrivFlags.h"
#include "store/RowEdits.h"
#include "ui/grid/AccountModel.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/BalloonTip.h"
#include "ui/widgets/EditPopup.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"
#include "ui/widgets/ValueLabel.h"

namespace kov {

const std::array<EditorPanel::Toggle, 15> EditorPanel::kToggles = {{
    {"cbAdminPriv", "Admin Priv", 0x0001, "ext_Flag_AdminPriv"},
    {"cbGMPrivs", "GM Privs", 0x0002, "ext_Flag_GMPrivs"},
    {"cbCounselorPrivs", "Counselor Privs", 0x0004, "ext_Flag_CounselorPrivs"},
    {"cbHearGMPages", "Hear GM Pages", 0x0008, "ext_Flag_HearGMPages"},
    {"cbHearAll", "Hear All", 0x0010, "ext_Flag_HearAll"},
    {"cbMoveAll", "Move All", 0x0020, "ext_Flag_MoveAll"},
    {"cbCombatDetailMsg", "Combat Detail Msg", 0x0040, "ext_Flag_CombatDetailMsg"},
    {"cbDebugMode", "Debug Mode", 0x0080, "ext_Flag_DebugMode"},
    {"cbEmailIsValid", "Email is valid", 0x0100, "ext_Flag_EmailIsValid"},
    {"cbPrivShowSet", "Privshow set", 0x0200, "ext_Flag_PrivShowSet"},
    {"cbAllowGMToggle", "Allow GM toggle", 0x0400, "ext_Flag_AllowGMToggle"},
    {"cbJailed", "Jailed", 0x0800, "ext_Flag_Jailed"},
    {"cbT2A", "T2A", 0x1000, "ext_Flag_T2A"},
    {"cbBlocked", "Blocked", 0x2000, "ext_Flag_Blocked"},
    {"cbAllShowEnabled", "All Show enabled", 0x4000, "ext_Flag_AllShowEnabled"},
}};

namespace {

constexpr int kFieldLength = 100;

const char* const kLanguages[] = {"ENU", "DEU", "CHT", "ESP", "FRA", "JPN", "KOR"};

struct Display {
  const char* key;  // UiText: the caption
  const char* name;
  Field field;
};
const Display kDisplays[7] = {
    {"ext_Conn_TotalConnectTime", "lbTotalConnectTime", dbtotalct},
    {"ext_Conn_LastConnectTime", "lbLastConnectTime", dblastct},
    {"ext_Conn_LastConnectDate", "lbLastConnectDate", dblastcd},
    {"ext_Conn_FirstConnectDate", "lbFirstConnectDate", dbfirstcd},
    {"ext_Conn_LastCharUID", "lbLastCharUID", dblastcuid},
    {"ext_Conn_FirstIP", "lbFirstIP", dbfirstip},
    {"ext_Conn_LastIP", "lbLastIP", dblastip},
};

QLabel* BlueCaption(QWidget* parent) {
  auto* l = new QLabel(parent);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, Qt::blue);
  l->setPalette(pal);
  return l;
}

// The toggles' box, whose caption carries the row's flag text. QGroupBox repaints the
// whole box for a new title, all fifteen toggles with it; only the caption is repainted here.
class FlagsGroup : public QGroupBox {
 public:
  explicit FlagsGroup(QWidget* parent) : QGroupBox(parent) {}

  void SetCaption(const QString& caption) {
    if (caption == title()) return;
    const QRect before = CaptionRect();
    const bool blocked = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    setTitle(caption);
    setAttribute(Qt::WA_UpdatesDisabled, blocked);
    update(before.united(CaptionRect()));
  }

 private:
  QRect CaptionRect() const {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
  }
};

}  // namespace

EditorPanel::EditorPanel(AccountModel& model, QWidget* parent)
    : QGroupBox(parent), m_model(model), m_table(model.Table()) {
  setObjectName(QStringLiteral("GroupBox1"));
  passwordGenerator = [] { return GeneratePassword(6); };
  BuildLayout();
  connect(&m_model, &AccountModel::CurrentRowChanged, this, &EditorPanel::OnCurrentChanged);
  connect(&m_model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& top, const QModelIndex& bottom) {
            const int current = m_table.CurrentIndex();
            if (current >= top.row() && current <= bottom.row()) OnRowFieldsChanged();
          });
  ApplyUiText();
  cbAdminPrivUpdate();
}

void EditorPanel::BuildLayout() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);

  // Fields at the left.
  auto* fields = new QGridLayout;
  fields->setVerticalSpacing(2);
  fields->setHorizontalSpacing(6);  // a longer caption ("Kommentar") must not touch its field
  auto makeEdit = [this](const char* name, Field field) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(kFieldLength);
    e->installEventFilter(this);
    m_textFields.append({e, field});
    // textEdited: the operator's edits only, paste and undo from the menu included.
    connect(e, &QLineEdit::textEdited, this, [this, e] {
      if (const TextField* tf = FieldOf(e)) TextEdited(*tf);
    });
    return e;
  };
  auto makeLabel = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    return l;
  };
  m_labels[0] = makeLabel("Label2");
  m_labels[1] = makeLabel("Label3");
  m_labels[2] = makeLabel("Label6");
  m_labels[3] = makeLabel("Label4");
  m_labels[4] = makeLabel("Label5");
  m_labels[5] = makeLabel("Label7");
  m_password = makeEdit("DBEdit2", dbpasswort);
  m_email = makeEdit("DBEdit3", dbemail);
  m_chatName = makeEdit("DBEdit4", dbchatname);
  m_comment = makeEdit("DBEdit6", dbcommend);
  m_comment->setFocusPolicy(Qt::ClickFocus);  // reached with the mouse only
  m_level = new QComboBox(this);
  m_level->setObjectName(QStringLiteral("DBComboBox1"));
  for (const char* l : kPLevelNames) m_level->addItem(QString::fromLatin1(l));
  m_language = new QComboBox(this);
  m_language->setObjectName(QStringLiteral("DBComboBox2"));
  for (const char* l : kLanguages) m_language->addItem(QString::fromLatin1(l));
  connect(m_level, &QComboBox::activated, this, &EditorPanel::LevelClick);
  connect(m_language, &QComboBox::activated, this, &EditorPanel::LanguageClick);
  m_generatePassword = new QToolButton(this);
  m_generatePassword->setObjectName(QStringLiteral("SpeedButton1"));
  m_generatePassword->setAutoRaise(true);
  m_generatePassword->setText(QStringLiteral("*"));
  m_generatePassword->setToolTip(Ui("ext_Editor_GeneratePassword"));
  m_generatePassword->setFocusPolicy(Qt::NoFocus);
  connect(m_generatePassword, &QToolButton::clicked, this, &EditorPanel::GeneratePasswordClick);
  auto* passwordRow = new QHBoxLayout;
  passwordRow->setSpacing(1);
  passwordRow->addWidget(m_password, 1);
  passwordRow->addWidget(m_generatePassword);
  QWidget* editors[6] = {nullptr, m_email, m_level, m_chatName, m_language, m_comment};
  for (int i = 0; i < 6; ++i) {
    fields->addWidget(m_labels[i], i, 0);
    if (i == 0)
      fields->addLayout(passwordRow, i, 1);
    else
      fields->addWidget(editors[i], i, 1);
  }
  fields->setColumnStretch(1, 1);
  grid->addLayout(fields, 0, 0);
  m_ruledWidgets = {m_password, m_email,    m_chatName,        m_comment,
                    m_level,    m_language, m_generatePassword};
  for (QLabel* l : m_labels) m_ruledWidgets.append(l);

  // Connection data.
  auto* connection = new QVBoxLayout;
  connection->setSpacing(0);
  for (int i = 0; i < 7; ++i) {
    m_shown[i] = new ValueLabel(this);
    m_shown[i]->setObjectName(QString::fromLatin1(kDisplays[i].name));
    m_shown[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  for (int i = 0; i < 4; ++i) {
    m_displayCaptions[static_cast<size_t>(i)] = BlueCaption(this);
    connection->addWidget(m_displayCaptions[static_cast<size_t>(i)]);
    connection->addWidget(m_shown[i]);
  }
  connection->addStretch(1);
  grid->addLayout(connection, 0, 1);

  // Characters, then the rest of the connection data.
  auto* chars = new QVBoxLayout;
  chars->setSpacing(0);
  auto* countRow = new QHBoxLayout;
  m_charCountCaption = makeLabel("Label20");
  m_charCount = new ValueLabel(this);
  m_charCount->setObjectName(QStringLiteral("Label21"));
  m_charCount->SetValue(QStringLiteral("n/a"));
  countRow->addWidget(m_charCountCaption);
  countRow->addWidget(m_charCount);
  countRow->addStretch(1);
  chars->addLayout(countRow);
  m_uidsCaption = new QLabel(this);
  chars->addWidget(m_uidsCaption);
  m_characterList = new QListWidget(this);
  m_characterList->setObjectName(QStringLiteral("ListBox1"));
  m_characterList->setSelectionMode(QAbstractItemView::SingleSelection);
  m_characterList->setMaximumHeight(80);
  m_characterList->setContextMenuPolicy(Qt::CustomContextMenu);
  chars->addWidget(m_characterList);
  for (int i = 4; i < 7; ++i) {
    m_displayCaptions[static_cast<size_t>(i)] = BlueCaption(this);
    chars->addWidget(m_displayCaptions[static_cast<size_t>(i)]);
    chars->addWidget(m_shown[i]);
  }
  chars->addStretch(1);
  grid->addLayout(chars, 0, 2);

  m_charPopup = new QMenu(this);
  m_charPopup->setObjectName(QStringLiteral("Popup_ShowCharInfo"));
  m_showCharInfo = m_charPopup->addAction(Ui("ext_Menu_ShowCharInfo"));
  m_showCharInfo->setObjectName(QStringLiteral("edShowCharInfoForm"));
  m_showCharInfo->setEnabled(false);
  connect(m_characterList, &QListWidget::itemSelectionChanged, this,
          &EditorPanel::UpdateShowCharInfo);
  // The menu alone hides the window from anyone who does not think of a right-click.
  connect(m_characterList, &QListWidget::itemDoubleClicked, this, [this] {
    UpdateShowCharInfo();
    if (m_showCharInfo->isEnabled()) m_showCharInfo->trigger();
  });
  connect(m_characterList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    UpdateShowCharInfo();
    m_charPopup->popup(m_characterList->viewport()->mapToGlobal(pos));
  });
  connect(m_showCharInfo, &QAction::triggered, this, [this] {
    const QList<QListWidgetItem*> selected = m_characterList->selectedItems();
    if (selected.isEmpty()) return;
    QStringList uids;
    for (int i = 0; i < m_characterList->count(); ++i) uids << m_characterList->item(i)->text();
    emit ShowCharInfoRequested(selected.first()->text(), uids,
                               m_characterList->row(selected.first()));
  });

  // The privilege toggles, three columns of five.
  m_privFlagsBox = new FlagsGroup(this);
  m_privFlagsBox->setObjectName(QStringLiteral("GroupBox3"));
  auto* toggles = new QGridLayout(m_privFlagsBox);
  toggles->setContentsMargins(4, 2, 4, 2);
  toggles->setVerticalSpacing(0);
  toggles->setHorizontalSpacing(4);
  for (int i = 0; i < 15; ++i) {
    const Toggle& t = kToggles[static_cast<size_t>(i)];
    auto* action = new QAction(QString::fromLatin1(t.caption), this);
    action->setObjectName(QString::fromLatin1(t.action));
    action->setCheckable(true);
    auto* box = new QCheckBox(QString::fromLatin1(t.caption), m_privFlagsBox);
    box->setObjectName(QString::fromLatin1(t.action) + QStringLiteral("Box"));
    m_actions[static_cast<size_t>(i)] = action;
    m_boxes[static_cast<size_t>(i)] = box;
    toggles->addWidget(box, i % 5, i / 5);
    auto execute = [this, i] {
      if (i == BlockedToggle)
        cbBlockedExecute();
      else if (i == JailedToggle)
        cbJailedExecute();
      else
        cbBitExecute(i);
    };
    // clicked and triggered come from the operator only; the other side follows silently.
    connect(box, &QCheckBox::clicked, this, [action, execute](bool on) {
      {
        const QSignalBlocker block(action);
        action->setChecked(on);
      }
      execute();
    });
    connect(action, &QAction::triggered, this, [box, execute](bool on) {
      {
        const QSignalBlocker block(box);
        box->setChecked(on);
      }
      execute();
    });
  }
  m_privFlagsBox->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
  grid->addWidget(m_privFlagsBox, 0, 3);
  grid->setColumnStretch(0, 1);

  // Tab order: the toggles, the character list, then the fields; the comment is left out.
  QWidget* previous = nullptr;
  auto chain = [&previous](QWidget* w) {
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  };
  for (QCheckBox* box : m_boxes) chain(box);
  for (QWidget* w : std::initializer_list<QWidget*>{m_characterList, m_password, m_email, m_level,
                                                    m_chatName, m_language})
    chain(w);
}

void EditorPanel::SetEditPopup(EditPopup* popup) {
  if (!popup) return;
  for (const TextField& tf : m_textFields) popup->Attach(tf.edit);
}

void EditorPanel::AddRuledAction(QAction* action) {
  m_ruledActions.append(action);
  cbAdminPrivUpdate();
}

const EditorPanel::TextField* EditorPanel::FieldOf(QObject* edit) const {
  for (const TextField& tf : m_textFields)
    if (tf.edit == edit) return &tf;
  return nullptr;
}

// --- showing the current row ----------------------------------------------------------

void EditorPanel::OnCurrentChanged() {
  const RowId row = m_table.Current();
  m_seenRow = row;
  m_seenPriv = std::string(m_table.Text(row, dbpriv));
  ShowRow();
  if (!m_seenPriv.empty()) FillAccountEditor();
  FillCharacterList();
  cbAdminPrivUpdate();
}

void EditorPanel::OnRowFieldsChanged() {
  if (m_table.Current() != m_seenRow) {
    OnCurrentChanged();
    return;
  }
  ShowRow();
  const std::string_view priv = m_table.Text(m_seenRow, dbpriv);
  if (priv != m_seenPriv) {
    m_seenPriv = std::string(priv);
    if (!m_seenPriv.empty()) FillAccountEditor();
  }
  FillCharacterList();
  cbAdminPrivUpdate();
}

void EditorPanel::ShowRow() {
  const RowId row = m_table.Current();
  for (const TextField& tf : m_textFields) {
    const QString value = FromCp1252(m_table.Text(row, tf.field));
    if (tf.edit->text() != value) {
      const QSignalBlocker block(tf.edit);
      tf.edit->setText(value);
      // A long address reads from its start, not from the end where setText leaves the caret.
      if (!tf.edit->hasFocus()) tf.edit->setCursorPosition(0);
    }
  }
  auto showChoice = [&](QComboBox* box, Field field) {
    const int index = box->findText(FromCp1252(m_table.Text(row, field)),
                                    Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (box->currentIndex() != index) {
      const QSignalBlocker block(box);
      box->setCurrentIndex(index);
    }
  };
  showChoice(m_level, dbplevel);
  showChoice(m_language, dblanguage);
  for (int i = 0; i < 7; ++i) {
    const QString value = FromCp1252(m_table.Text(row, kDisplays[i].field));
    m_shown[i]->SetValue(value);
  }
}

void EditorPanel::SetFlagsCaption(std::string_view flags) {
  m_captionFlags = std::string(flags);
  static_cast<FlagsGroup*>(m_privFlagsBox)
      ->SetCaption(FormatText(Ui("f1_Groupbox_3"), {FromCp1252(flags)}));
}

void EditorPanel::SetToggleChecked(int toggle, bool on) {
  QCheckBox* box = m_boxes[static_cast<size_t>(toggle)];
  QAction* action = m_actions[static_cast<size_t>(toggle)];
  const QSignalBlocker b1(box), b2(action);
  box->setChecked(on);
  action->setChecked(on);
}

bool EditorPanel::ReadFlags(std::uint32_t& value) {
  const std::string_view text = m_table.Text(dbpriv);
  const auto v = ParsePrivFlags(text);
  if (!v) {
    ShowNotice(this, NoticeKind::Error, FormatText(Ui("ext_Edit_NotInteger"), {FromCp1252(text)}));
    return false;
  }
  value = *v;
  return true;
}

void EditorPanel::FillAccountEditor() {
  if (m_table.RowCount() == 0 || m_table.Current() == kNoRow) return;
  SetFlagsCaption(m_table.Text(dbpriv));
  // Blocked and Jailed follow their own fields; another value leaves them as they are.
  const int block = m_table.IntOr0(m_table.Current(), dbblock);
  if (block == 0 || block == 1) SetToggleChecked(BlockedToggle, block == 1);
  const int jail = m_table.IntOr0(m_table.Current(), dbjail);
  if (jail == 0 || jail == 1) SetToggleChecked(JailedToggle, jail == 1);
  std::uint32_t v = 0;
  if (!ReadFlags(v)) return;
  for (int i = 0; i < 15; ++i) {
    if (i == BlockedToggle || i == JailedToggle) continue;
    SetToggleChecked(i, (v & kToggles[static_cast<size_t>(i)].bit) != 0);
  }
}

void EditorPanel::FillCharacterList() {
  if (m_table.RowCount() == 0) return;
  QStringList uids;
  for (Field f : {dbcharuid1, dbcharuid2, dbcharuid3, dbcharuid4, dbcharuid5}) {
    const std::string_view uid = m_table.Text(f);
    if (!uid.empty()) uids << FromCp1252(uid);
  }
  bool same = m_characterList->count() == uids.size();
  for (int i = 0; same && i < uids.size(); ++i) same = m_characterList->item(i)->text() == uids[i];
  if (!same) {
    m_characterList->clear();
    m_characterList->addItems(uids);
  }
  m_charCount->SetValue(QString::number(uids.size()));
  UpdateShowCharInfo();
}

void EditorPanel::UpdateShowCharInfo() {
  m_showCharInfo->setEnabled(!m_characterList->selectedItems().isEmpty());
}

void EditorPanel::cbAdminPrivUpdate() {
  const bool on = !m_table.Text(dbaccount).empty();
  for (QAction* a : m_actions) a->setEnabled(on);
  for (QCheckBox* b : m_boxes) b->setEnabled(on);
  for (QAction* a : m_ruledActions) a->setEnabled(on);
  for (QWidget* w : m_ruledWidgets) w->setEnabled(on);
}

// --- toggles --------------------------------------------------------------------------

std::optional<RowValues> EditorPanel::ValuesOf(const RowEdit& edit) {
  const auto values = ValuesOfEdit(m_table, m_table.Current(), edit);
  // The edit's rules refuse a flag text that is not a number; the operator hears why.
  if (!values) {
    std::uint32_t unused = 0;
    ReadFlags(unused);
  }
  return values;
}

void EditorPanel::cbBitExecute(int toggle) {
  if (m_table.Current() == kNoRow) return;
  const auto values =
      ValuesOf({RowEdit::Kind::Flag, m_boxes[static_cast<size_t>(toggle)]->isChecked(),
                kToggles[static_cast<size_t>(toggle)].bit});
  if (!values) return;
  StoreInCurrent(m_table, *values);
  m_table.Post();
  SetFlagsCaption(m_table.Text(dbpriv));
}

void EditorPanel::cbBlockedExecute() {
  if (m_table.Current() == kNoRow) return;
  const auto values = ValuesOf({RowEdit::Kind::Blocked, m_boxes[BlockedToggle]->isChecked()});
  if (!values) return;
  StoreInCurrent(m_table, *values);
  m_table.Post();  // under "Blocked" and "Not blocked" the row may leave the view
  SetFlagsCaption(m_table.Text(dbpriv));
  if (countVisibleRows && countVisibleRows() > 0) {
    FillAccountEditor();
    FillCharacterList();
  }
}

void EditorPanel::cbJailedExecute() {
  if (m_table.Current() == kNoRow) return;
  const auto values = ValuesOf({RowEdit::Kind::Jailed, m_boxes[JailedToggle]->isChecked()});
  if (!values) return;
  StoreInCurrent(m_table, *values);
  // Unlike Blocked, the caption is taken before the store, so it keeps this row's text.
  SetFlagsCaption(m_table.Text(dbpriv));
  m_table.Post();
  if (countVisibleRows && countVisibleRows() > 0) {
    FillAccountEditor();
    FillCharacterList();
  }
}

// --- text fields and lists ------------------------------------------------------------

std::optional<std::string> EditorPanel::Encode(QLineEdit* edit) {
  const QString text = edit->text();
  for (QChar c : text) {
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0)) {
      ShowNotice(this, NoticeKind::Warning, Ui("ext_Edit_LineBreak"));
      return std::nullopt;
    }
  }
  QString bad;
  auto bytes = ToCp1252(text, &bad);
  if (!bytes) {
    const QString code =
        QStringLiteral("%1").arg(bad.isEmpty() ? 0 : bad.at(0).unicode(), 4, 16, QLatin1Char('0'));
    ShowNotice(this, NoticeKind::Warning, FormatText(Ui("ext_Edit_NotCp1252"), {bad, code}));
  }
  return bytes;
}

void EditorPanel::RevertField(QLineEdit* edit, Field field) {
  const QString stored = FromCp1252(m_table.Text(field));
  const int position = edit->cursorPosition() - (edit->text().size() - stored.size());
  const QSignalBlocker block(edit);
  edit->setText(stored);
  edit->setCursorPosition(std::clamp(position, 0, static_cast<int>(stored.size())));
}

void EditorPanel::TextEdited(const TextField& tf) {
  if (m_table.Current() == kNoRow) return;
  const auto bytes = Encode(tf.edit);
  if (!bytes) {
    RevertField(tf.edit, tf.field);
    return;
  }
  if (*bytes == m_table.Text(tf.field)) return;
  m_table.Edit();
  m_table.SetText(tf.field, *bytes);
  // A paste or an undo from the menu brings no key release, so the change is marked here.
  if (m_table.IntOr0(m_table.Current(), dbstatus) == StatusStored)
    m_table.SetInt(dbstatus, StatusChanged);
  m_table.Post();
}

void EditorPanel::FieldKeyUp(QLineEdit* field) {
  const TextField* tf = FieldOf(field);
  if (!tf || m_table.Current() == kNoRow) return;
  // Only a release that leaves a different value marks the row: Escape out of the context
  // menu, an arrow key or a modifier would otherwise send an unchanged row to the server.
  const auto typed = ToCp1252(field->text());
  if (typed && *typed != m_table.Text(tf->field)) TextEdited(*tf);
}

void EditorPanel::LevelClick(int index) {
  if (m_table.Current() == kNoRow || index < 0) return;
  RowEdit edit{RowEdit::Kind::Level};
  edit.level = index;
  const auto values = ValuesOf(edit);
  if (!values) return;
  StoreInCurrent(m_table, *values);
  m_table.Post();  // under "Guest", "Player" and "Staff" the row may leave the view
  if (countVisibleRows && showEntryCount) showEntryCount(countVisibleRows());
}

void EditorPanel::LanguageClick(int index) {
  if (m_table.Current() == kNoRow || index < 0) return;
  m_table.Edit();
  m_table.SetText(dblanguage, kLanguages[index]);
  m_table.Post();
  if (m_table.IntOr0(m_table.Current(), dbstatus) == StatusStored) {
    m_table.Edit();
    m_table.SetInt(dbstatus, StatusChanged);
    m_table.Post();
  }
}

void EditorPanel::GeneratePasswordClick() {
  if (!passwordGenerator || m_table.Current() == kNoRow) return;
  m_password->setText(QString::fromStdString(passwordGenerator()));
  if (const TextField* tf = FieldOf(m_password)) TextEdited(*tf);
}

bool EditorPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && FieldOf(edit)) FieldKeyUp(edit);
  }
  return QGroupBox::eventFilter(watched, event);
}

// --- texts ----------------------------------------------------------------------------

void EditorPanel::ApplyUiText() {
  setTitle(Ui("f1_Groupbox_1"));
  m_charCountCaption->setText(Ui("f1_Label_20"));
  static const char* const kKeys[6] = {"f1_Label_2", "f1_Label_3", "f1_Label_6",
                                       "f1_Label_4", "f1_Label_5", "f1_Label_7"};
  for (int i = 0; i < 6; ++i) m_labels[i]->setText(Ui(kKeys[i]));
  SetFlagsCaption(m_captionFlags);
  m_characterList->setToolTip(Ui("Hint_CharInfo"));
  for (size_t i = 0; i < kToggles.size(); ++i) {
    m_boxes[i]->setText(Ui(kToggles[i].key));
    m_actions[i]->setText(Ui(kToggles[i].key));
  }
  for (size_t i = 0; i < m_displayCaptions.size(); ++i)
    m_displayCaptions[i]->setText(Ui(kDisplays[i].key));
  m_uidsCaption->setText(Ui("ext_Editor_Uids"));
  m_showCharInfo->setText(Ui("ext_Menu_ShowCharInfo"));
  m_generatePassword->setToolTip(Ui("ext_Editor_GeneratePassword"));
}

void EditorPanel::ShowStartupBalloon() {
  new BalloonTip(m_characterList, Ui("Hint_Header"), Ui("Hint_CharInfo"), 5000);
  m_characterList->setToolTip(Ui("Hint_CharInfo"));
}

}  // namespace kov
