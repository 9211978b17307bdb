#include "ui/commands/DeleteConfirmationDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/settings/UiText.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {
constexpr int kNameRole = Qt::UserRole + 1;
}

DeleteConfirmationDialog::DeleteConfirmationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form6"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);

  m_icon = new QLabel(this);
  m_icon->setObjectName(QStringLiteral("Image1"));
  m_icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  m_icon->setFixedSize(32, 32);
  m_question = new QLabel(this);
  m_question->setObjectName(QStringLiteral("Label1"));
  m_question->setWordWrap(true);
  m_list = new QListWidget(this);
  m_list->setObjectName(QStringLiteral("CheckListBox1"));
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_yes = new QPushButton(this);
  m_yes->setObjectName(QStringLiteral("btnYes"));
  m_no = new QPushButton(this);
  m_no->setObjectName(QStringLiteral("btnNo"));
  // Enter must never delete by accident.
  m_yes->setAutoDefault(false);
  m_no->setAutoDefault(true);
  m_no->setDefault(true);
  connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_no, &QPushButton::clicked, this, &DeleteConfirmationDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(m_icon, 0, Qt::AlignTop);
  top->addWidget(m_question, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_yes);
  buttons->addWidget(m_no);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_list, 1);
  layout->addLayout(buttons);
  setFixedSize(330, 260);

  ApplyUiText();
}

void DeleteConfirmationDialog::ApplyUiText() {
  setWindowTitle(Ui("frg_acc_delete_Title"));
  m_question->setText(Ui("frg_acc_delete"));
  m_no->setText(Ui("frg_acc_delete_No"));
  m_yes->setText(Ui("frg_acc_delete_yes"));
}

void DeleteConfirmationDialog::ClearList() { m_list->clear(); }

void DeleteConfirmationDialog::AddItem(const std::string& name, bool checked) {
  auto* item = new QListWidgetItem(FromCp1252(name), m_list);
  item->setData(kNameRole, QByteArray::fromStdString(name));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int DeleteConfirmationDialog::Count() const { return m_list->count(); }

std::string DeleteConfirmationDialog::ItemName(int index) const {
  const QListWidgetItem* item = m_list->item(index);
  return item ? item->data(kNameRole).toByteArray().toStdString() : std::string();
}

bool DeleteConfirmationDialog::IsChecked(int index) const {
  const QListWidgetItem* item = m_list->item(index);
  return item && item->checkState() == Qt::Checked;
}

void DeleteConfirmationDialog::reject() {
  ClearList();
  QDialog::reject();
}

}  // namespace kov
