#include "ui/commands/RestoreDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "store/History.h"
#include "store/LoadAccounts.h"
#include "store/ReadAcc.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {
constexpr int kItemRole = Qt::UserRole + 1;   // index into the diff's items
constexpr int kFieldRole = Qt::UserRole + 2;  // a field row: the field

QString FieldTitle(Field f) {
  return QString::fromStdString(HistoryFieldName(FieldInfoOf(f).name));
}
}  // namespace

RestoreDialog::RestoreDialog(MainWindow& form, QWidget* parent) : QDialog(parent), m_form(form) {
  setObjectName(QStringLiteral("RestoreDialog"));
  setWindowTitle(Ui("ext_Restore_Title"));
  resize(760, 500);
  auto* layout = new QVBoxLayout(this);
  m_summary = new QLabel(this);
  m_summary->setObjectName(QStringLiteral("RestoreSummary"));
  m_summary->setWordWrap(true);
  layout->addWidget(m_summary);
  m_foreign = new QLabel(this);
  m_foreign->setObjectName(QStringLiteral("RestoreForeign"));
  m_foreign->setWordWrap(true);
  m_foreign->setStyleSheet(QStringLiteral("background: #fff3c4; color: #5a4300; padding: 4px;"));
  m_foreign->hide();
  layout->addWidget(m_foreign);
  m_list = new QTreeWidget(this);
  m_list->setObjectName(QStringLiteral("RestoreList"));
  m_list->setColumnCount(3);
  m_list->setHeaderLabels(
      {Ui("ext_Restore_Col_Account"), Ui("ext_Restore_Col_Now"), Ui("ext_Restore_Col_Backup")});
  m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
  layout->addWidget(m_list, 1);
  auto* options = new QHBoxLayout;
  m_passwords = new QCheckBox(Ui("ext_Restore_ShowPasswords"), this);
  m_passwords->setObjectName(QStringLiteral("RestoreShowPasswords"));
  m_keep = new QRadioButton(Ui("ext_Restore_Keep"), this);
  m_keep->setObjectName(QStringLiteral("RestoreKeepPending"));
  m_take = new QRadioButton(Ui("ext_Restore_TakeBackup"), this);
  m_take->setObjectName(QStringLiteral("RestoreTakeBackup"));
  m_keep->setChecked(true);
  options->addWidget(m_passwords);
  options->addStretch(1);
  options->addWidget(m_keep);
  options->addWidget(m_take);
  layout->addLayout(options);
  auto* buttons = new QHBoxLayout;
  m_apply = new QPushButton(Ui("ext_Restore_Apply"), this);
  m_apply->setObjectName(QStringLiteral("btnRestore"));
  m_close = new QPushButton(Ui("ext_Review_Close"), this);
  m_close->setObjectName(QStringLiteral("btnClose"));
  buttons->addStretch(1);
  buttons->addWidget(m_apply);
  buttons->addWidget(m_close);
  layout->addLayout(buttons);
  connect(m_passwords, &QCheckBox::clicked, this, &RestoreDialog::ShowPasswords);
  connect(m_apply, &QPushButton::clicked, this, [this] { RestoreTicked(); });
  connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
}

RestoreDialog::~RestoreDialog() = default;

bool RestoreDialog::Open(const QString& backupPath) {
  m_path = backupPath;
  m_backup = std::make_unique<AccountTable>();
  m_read = ReadBackup(QDir::toNativeSeparators(backupPath).toStdString(), *m_backup);
  if (!m_read.ok()) {
    ShowNotice(
        &m_form, NoticeKind::Warning,
        FormatText(Ui("ext_Restore_Bad"), {backupPath, QString::fromStdString(m_read.message)}));
    return false;
  }
  m_server = std::make_unique<AccountTable>();
  const std::string accountFile =
      JoinPath(QDir::toNativeSeparators(m_form.LoadedAccountDir()).toStdString(), kAccountFileName);
  m_haveServer = ReadAccountFile(*m_server, accountFile).ok();
  Refill();
  return true;
}

QString RestoreDialog::Summary() const { return m_summary->text(); }

void RestoreDialog::Refill() {
  m_diff = DiffWithBackup(*m_backup, m_form.Table(), m_haveServer ? m_server.get() : nullptr);
  m_summary->setText(FormatText(
      Ui("ext_Restore_Summary"),
      {FromCp1252(m_read.date), m_diff.backupRows, m_diff.deleted, m_diff.changed, m_diff.added}));
  m_foreign->setText(FormatText(Ui("ext_Restore_Foreign"), {m_diff.backupRows}));
  m_foreign->setVisible(m_diff.foreign);
  m_list->clear();
  const AccountTable& table = m_form.Table();
  auto group = [&](const char* key, int count) {
    auto* top = new QTreeWidgetItem(m_list, {Ui(key) + QStringLiteral(" (%1)").arg(count)});
    top->setFlags(Qt::ItemIsEnabled);
    top->setExpanded(true);
    return top;
  };
  QTreeWidgetItem* deleted = group("ext_Restore_Deleted", m_diff.deleted);
  QTreeWidgetItem* changed = group("ext_Restore_Changed", m_diff.changed);
  QTreeWidgetItem* added = group("ext_Restore_New", m_diff.added);
  bool anyPending = false;
  for (int i = 0; i < static_cast<int>(m_diff.items.size()); ++i) {
    const RestoreItem& item = m_diff.items[static_cast<size_t>(i)];
    switch (item.kind) {
      case RestoreItem::Kind::New: {
        auto* row =
            new QTreeWidgetItem(added, {FromCp1252(table.Text(item.currentRow, dbaccount))});
        row->setFlags(Qt::ItemIsEnabled);
        break;
      }
      case RestoreItem::Kind::Deleted: {
        auto* row = new QTreeWidgetItem(
            deleted, {FromCp1252(m_backup->Text(item.backupRow, dbaccount)), QString(),
                      FromCp1252(m_backup->DisplayText(item.backupRow, dbplevel))});
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
        row->setData(0, kItemRole, i);
        break;
      }
      case RestoreItem::Kind::Changed: {
        auto* row =
            new QTreeWidgetItem(changed, {FromCp1252(table.Text(item.currentRow, dbaccount))});
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        row->setData(0, kItemRole, i);
        for (Field f : item.fields) {
          auto* field = new QTreeWidgetItem(row, {FieldTitle(f)});
          field->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
          field->setCheckState(0, Qt::Unchecked);
          field->setData(0, kFieldRole, static_cast<int>(f));
          anyPending = anyPending || item.IsPending(f);
        }
        row->setExpanded(true);
        break;
      }
    }
  }
  ShowPasswords(m_passwords->isChecked());
  m_keep->setVisible(anyPending);
  m_take->setVisible(anyPending);
  m_apply->setEnabled(m_diff.deleted + m_diff.changed > 0);
}

// Fills the value columns; a password's only when asked for.
void RestoreDialog::ShowPasswords(bool on) {
  const AccountTable& table = m_form.Table();
  QTreeWidgetItem* changed = m_list->topLevelItem(1);
  if (!changed) return;
  for (int i = 0; i < changed->childCount(); ++i) {
    QTreeWidgetItem* row = changed->child(i);
    const RestoreItem& item = m_diff.items[static_cast<size_t>(row->data(0, kItemRole).toInt())];
    for (int k = 0; k < row->childCount(); ++k) {
      QTreeWidgetItem* field = row->child(k);
      const auto f = static_cast<Field>(field->data(0, kFieldRole).toInt());
      auto shown = [&](const AccountTable& t, RowId r) {
        const std::string v = t.DisplayText(r, f);
        if (f == dbpasswort && !on) return v.empty() ? QString() : Ui("ext_Restore_Hidden");
        return FromCp1252(v);
      };
      QString now = shown(table, item.currentRow);
      if (item.IsPending(f)) now = FormatText(Ui("ext_Restore_Pending"), {now});
      field->setText(1, now);
      field->setText(2, shown(*m_backup, item.backupRow));
    }
  }
}

int RestoreDialog::RestoreTicked() {
  struct Chosen {
    const RestoreItem* item;
    std::vector<Field> fields;
  };
  std::vector<Chosen> chosen;
  for (int g = 0; g < 2; ++g) {
    QTreeWidgetItem* top = m_list->topLevelItem(g);
    for (int i = 0; top && i < top->childCount(); ++i) {
      QTreeWidgetItem* row = top->child(i);
      const RestoreItem& item = m_diff.items[static_cast<size_t>(row->data(0, kItemRole).toInt())];
      if (item.kind == RestoreItem::Kind::Deleted) {
        if (row->checkState(0) == Qt::Checked) chosen.push_back({&item, {}});
        continue;
      }
      std::vector<Field> fields;
      for (int k = 0; k < row->childCount(); ++k)
        if (row->child(k)->checkState(0) == Qt::Checked)
          fields.push_back(static_cast<Field>(row->child(k)->data(0, kFieldRole).toInt()));
      if (!fields.empty()) chosen.push_back({&item, fields});
    }
  }
  if (chosen.empty()) return 0;
  // A row hidden by the tab or the search cannot be edited; show them all first.
  m_form.FilterReset();
  AccountTable& table = m_form.Table();
  const PendingChoice choice =
      m_take->isChecked() ? PendingChoice::TakeBackup : PendingChoice::KeepPending;
  int restored = 0;
  for (const Chosen& c : chosen) {
    if (ApplyRestore(table, *m_backup, *c.item, c.fields, choice) == 0) continue;
    m_form.restoredAccounts.insert(std::string(m_backup->Text(c.item->backupRow, dbaccount)));
    ++restored;
  }
  table.Last();
  const QString done = FormatText(Ui("ext_Restore_Done"), {restored, Ui("f1_Action_Save")});
  m_form.AddLogLine(done + QStringLiteral(" (") + m_path + QStringLiteral(")"), LogPane::IconInfo);
  m_form.ShowEntryCount(m_form.CountVisibleRows());
  Refill();
  return restored;
}

}  // namespace kov
