#include "ui/commands/BulkChangeDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/editor/EditorPanel.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Text1252.h"

namespace kov {

BulkChangeDialog::BulkChangeDialog(const AccountTable& table, std::vector<RowId> rows,
                                   const RowEdit& edit, QWidget* parent)
    : QDialog(parent), m_table(table), m_rows(std::move(rows)), m_edit(edit) {
  setObjectName(QStringLiteral("BulkChangeDialog"));
  setWindowTitle(Ui("ext_Bulk_Caption"));
  resize(520, 420);
  auto* layout = new QVBoxLayout(this);
  if (edit.kind == RowEdit::Kind::Level || edit.kind == RowEdit::Kind::Flag) {
    auto* choice = new QHBoxLayout;
    if (edit.kind == RowEdit::Kind::Level) {
      choice->addWidget(new QLabel(Ui("ext_Bulk_Level_Label"), this));
      m_level = new QComboBox(this);
      m_level->setObjectName(QStringLiteral("BulkLevel"));
      for (const char* l : kPLevelNames) m_level->addItem(QString::fromLatin1(l));
      m_level->setCurrentIndex(edit.level);
      choice->addWidget(m_level);
      connect(m_level, &QComboBox::currentIndexChanged, this, &BulkChangeDialog::Replan);
    } else {
      m_setOrClear = new QComboBox(this);
      m_setOrClear->setObjectName(QStringLiteral("BulkSetOrClear"));
      m_setOrClear->addItems({Ui("ext_Bulk_Set"), Ui("ext_Bulk_Clear")});
      m_setOrClear->setCurrentIndex(edit.on ? 0 : 1);
      choice->addWidget(m_setOrClear);
      choice->addWidget(new QLabel(Ui("ext_Bulk_Flag_Label"), this));
      m_flag = new QComboBox(this);
      m_flag->setObjectName(QStringLiteral("BulkFlag"));
      // The editor's toggles in their order; Blocked and Jailed keep their own rules there.
      for (const EditorPanel::Toggle& t : EditorPanel::kToggles)
        m_flag->addItem(QString::fromLatin1(t.caption));
      choice->addWidget(m_flag, 1);
      connect(m_flag, &QComboBox::currentIndexChanged, this, &BulkChangeDialog::Replan);
      connect(m_setOrClear, &QComboBox::currentIndexChanged, this, &BulkChangeDialog::Replan);
    }
    choice->addStretch(1);
    layout->addLayout(choice);
  }
  m_heading = new QLabel(this);
  m_heading->setObjectName(QStringLiteral("BulkHeading"));
  QFont bold = m_heading->font();
  bold.setBold(true);
  m_heading->setFont(bold);
  m_heading->setWordWrap(true);
  layout->addWidget(m_heading);
  m_notes = new QLabel(this);
  m_notes->setObjectName(QStringLiteral("BulkNotes"));
  m_notes->setWordWrap(true);
  layout->addWidget(m_notes);
  m_list = new QTreeWidget(this);
  m_list->setObjectName(QStringLiteral("BulkList"));
  m_list->setRootIsDecorated(false);
  m_list->setUniformRowHeights(true);
  m_list->setSelectionMode(QAbstractItemView::NoSelection);
  m_list->setHeaderLabels(
      {Ui("ext_Bulk_List_Account"), Ui("ext_Bulk_List_Old"), Ui("ext_Bulk_List_New")});
  m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
  layout->addWidget(m_list, 1);
  auto* buttons = new QHBoxLayout;
  m_apply = new QPushButton(Ui("ext_Bulk_Apply"), this);
  m_apply->setObjectName(QStringLiteral("BulkApply"));
  m_cancel = new QPushButton(Ui("dlg_cancel"), this);
  m_cancel->setObjectName(QStringLiteral("BulkCancel"));
  // Enter alone must not change thousands of accounts.
  m_apply->setAutoDefault(false);
  m_cancel->setDefault(true);
  buttons->addStretch(1);
  buttons->addWidget(m_apply);
  buttons->addWidget(m_cancel);
  layout->addLayout(buttons);
  connect(m_apply, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  Replan();
  m_cancel->setFocus();
}

RowEdit BulkChangeDialog::ChosenEdit() const {
  RowEdit edit = m_edit;
  if (m_level) edit.level = std::max(0, m_level->currentIndex());
  if (m_flag) {
    const int toggle = std::max(0, m_flag->currentIndex());
    edit.on = m_setOrClear->currentIndex() == 0;
    edit.kind = toggle == EditorPanel::BlockedToggle  ? RowEdit::Kind::Blocked
                : toggle == EditorPanel::JailedToggle ? RowEdit::Kind::Jailed
                                                      : RowEdit::Kind::Flag;
    edit.bit = EditorPanel::kToggles[static_cast<size_t>(toggle)].bit;
  }
  return edit;
}

QString BulkChangeDialog::TransitionText(const AccountTable& table, const BulkPlan& plan) {
  const QString key = QString::fromLatin1(KeyOfEdit(plan.edit.kind));
  const std::vector<Transition> transitions = TransitionsOf(table, plan);
  QStringList parts;
  for (const Transition& t : transitions) {
    QString part = FromCp1252(t.from) + QStringLiteral(" -> ") + FromCp1252(t.to);
    if (transitions.size() > 1) part += QStringLiteral(" (%1)").arg(t.count);
    parts << part;
  }
  return key + QLatin1Char(' ') + parts.join(QStringLiteral(", "));
}

QString BulkChangeDialog::Heading() const { return m_heading->text(); }

void BulkChangeDialog::Replan() {
  m_plan = PlanBulkChange(m_table, m_rows, ChosenEdit());
  const int changed = static_cast<int>(m_plan.rows.size());
  if (changed > 0) {
    m_heading->setText(
        FormatText(Ui("ext_Bulk_Preview"), {changed, TransitionText(m_table, m_plan)}));
  } else {
    m_heading->setText(Ui("ext_Bulk_Nothing"));
  }
  QStringList notes;
  if (!m_plan.unchanged.empty())
    notes << FormatText(Ui("ext_Bulk_Unchanged"), {static_cast<int>(m_plan.unchanged.size())});
  if (!m_plan.badFlags.empty())
    notes << FormatText(Ui("ext_Bulk_BadFlags"), {static_cast<int>(m_plan.badFlags.size())});
  if (!m_plan.unwritable.empty())
    notes << FormatText(Ui("ext_Bulk_Unwritable"), {static_cast<int>(m_plan.unwritable.size())});
  m_notes->setText(notes.join(QLatin1Char('\n')));
  m_notes->setVisible(!notes.isEmpty());
  m_list->setUpdatesEnabled(false);
  m_list->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(changed);
  const RowEdit::Kind kind = m_plan.edit.kind;
  for (size_t i = 0; i < m_plan.rows.size(); ++i) {
    const RowId row = m_plan.rows[i];
    items << new QTreeWidgetItem({FromCp1252(m_table.Text(row, dbaccount)),
                                  FromCp1252(ShownValue(m_table, row, kind)),
                                  FromCp1252(ShownValue(m_plan.values[i], kind))});
  }
  m_list->addTopLevelItems(items);
  m_list->setUpdatesEnabled(true);
  m_apply->setEnabled(changed > 0);
}

}  // namespace kov
