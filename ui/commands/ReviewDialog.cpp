#include "ui/commands/ReviewDialog.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/commands/RevertCommand.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {
constexpr int kRowRole = Qt::UserRole + 1;

}  // namespace

ReviewDialog::ReviewDialog(MainWindow& form, RevertCommand& revert, QWidget* parent)
    : QDialog(parent), m_form(form), m_revertCommand(revert) {
  setObjectName(QStringLiteral("ReviewDialog"));
  setWindowTitle(Ui("ext_Review_Title"));
  resize(640, 420);
  auto* layout = new QVBoxLayout(this);
  m_list = new QTreeWidget(this);
  m_list->setObjectName(QStringLiteral("ReviewList"));
  m_list->setColumnCount(3);
  m_list->setHeaderLabels({Ui("ext_Review_Account") + " / " + Ui("ext_Review_Field"),
                           Ui("ext_Review_Old"), Ui("ext_Review_New")});
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
  layout->addWidget(m_list, 1);
  auto* buttons = new QHBoxLayout;
  m_save = new QPushButton(Ui("f1_Action_Save"), this);
  m_save->setObjectName(QStringLiteral("btnSave"));
  m_revert = new QPushButton(Ui("ext_Review_Revert"), this);
  m_revert->setObjectName(QStringLiteral("btnRevert"));
  m_close = new QPushButton(Ui("ext_Review_Close"), this);
  m_close->setObjectName(QStringLiteral("btnClose"));
  buttons->addStretch(1);
  buttons->addWidget(m_save);
  buttons->addWidget(m_revert);
  buttons->addWidget(m_close);
  layout->addLayout(buttons);
  connect(m_save, &QPushButton::clicked, this, &ReviewDialog::SaveClicked);
  connect(m_revert, &QPushButton::clicked, this, &ReviewDialog::RevertClicked);
  connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

bool ReviewDialog::Refill() {
  m_list->clear();
  const AccountTable& table = m_form.Table();
  ServerAccounts server;
  QString error;
  if (!server.Load(m_form.LoadedAccountDir(), &error)) {
    ShowNotice(&m_form, NoticeKind::Error, error);
    return false;
  }
  const AccountTable& file = server.Table();
  for (RowId row : table.Order()) {
    const int status = table.IntOr0(row, dbstatus);
    if (status != StatusChanged && status != StatusNew) continue;
    auto* top = new QTreeWidgetItem(m_list);
    const QString name = FromCp1252(table.Text(row, dbaccount));
    top->setText(0, name + " (" + Ui(status == StatusNew ? "f1_Grid_Hint_2" : "f1_Grid_Hint_1") +
                        (table.IsWritten(row) ? "; " + Ui("ext_Grid_Hint_Sent") : QString()) + ")");
    top->setData(0, kRowRole, static_cast<qulonglong>(row));
    const RowId from = status == StatusChanged ? server.Find(table.Text(row, dbaccount)) : kNoRow;
    if (status == StatusChanged && from == kNoRow) top->setText(1, Ui("ext_Review_NotInFile"));
    for (Field f : ComparedFields()) {
      const std::string now = table.DisplayText(row, f);
      if (from == kNoRow) {
        if (now.empty()) continue;
        auto* item = new QTreeWidgetItem(top, {FieldCaption(f), QString(), FromCp1252(now)});
        item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
        continue;
      }
      const std::string before = file.DisplayText(from, f);
      if (before == now) continue;
      auto* item = new QTreeWidgetItem(top, {FieldCaption(f), FromCp1252(before), FromCp1252(now)});
      item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
    }
    top->setExpanded(true);
  }
  m_save->setEnabled(m_list->topLevelItemCount() > 0 && m_form.edLiveUpdate->isEnabled());
  m_revert->setEnabled(m_list->topLevelItemCount() > 0);
  return true;
}

void ReviewDialog::SaveClicked() {
  m_form.edLiveUpdate->trigger();
  Refill();
}

void ReviewDialog::RevertClicked() {
  std::vector<RowId> rows;
  for (QTreeWidgetItem* item : m_list->selectedItems())
    if (!item->parent()) rows.push_back(static_cast<RowId>(item->data(0, kRowRole).toULongLong()));
  if (rows.empty()) return;
  // A row hidden by the tab or the search cannot be stored; show them all first.
  m_form.FilterReset();
  m_revertCommand.Revert(rows);
  Refill();
}

}  // namespace kov
