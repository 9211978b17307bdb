#include "ui/commands/HistoryWindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "store/AccountTable.h"
#include "store/SaveAcct.h"
#include "ui/settings/UiText.h"

namespace kov {

namespace {

// The model's columns in the history's terms.
constexpr int kLogColumn[HistoryModel::kColumnCount] = {
    HistoryLog::Time,  HistoryLog::User, HistoryLog::Account, HistoryLog::Action,
    HistoryLog::Field, HistoryLog::Old,  HistoryLog::New,     -1,
    HistoryLog::Shard};

bool ContainsIgnoringCase(std::string_view hay, const std::string& lowerNeedle) {
  if (lowerNeedle.empty()) return true;
  if (hay.size() < lowerNeedle.size()) return false;
  const auto it =
      std::search(hay.begin(), hay.end(), lowerNeedle.begin(), lowerNeedle.end(),
                  [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
  return it != hay.end();
}

}  // namespace

HistoryModel::HistoryModel(QObject* parent)
    : QAbstractTableModel(parent), m_log(std::make_unique<HistoryLog>()) {}

HistoryLog::Status HistoryModel::Load(const QString& path) {
  beginResetModel();
  const HistoryLog::Status status = m_log->Load(path.toStdString());
  m_rows.clear();
  endResetModel();
  Apply();
  return status;
}

std::string_view HistoryModel::Cell(const HistoryLog::Entry& e, int column) const {
  if (column == Taken) return e.takenOver ? "1" : "0";
  return m_log->Get(e, static_cast<HistoryLog::Column>(kLogColumn[column]));
}

void HistoryModel::SetFilter(const Filter& filter) {
  m_filter = filter;
  Apply();
}

void HistoryModel::Apply() {
  const auto& entries = m_log->Entries();
  const std::string account = m_filter.account.toStdString();
  const std::string field = m_filter.field.toStdString();
  const std::string from = m_filter.from.trimmed().toStdString();
  std::string to = m_filter.to.trimmed().toStdString();
  if (!to.empty()) to += "\x7f";  // the whole day (or minute) named is in
  const std::string text = m_filter.text.toLower().toStdString();
  std::vector<std::uint32_t> rows;
  rows.reserve(account.empty() ? entries.size() : 256);
  for (std::uint32_t i = 0; i < entries.size(); ++i) {
    const HistoryLog::Entry& e = entries[i];
    if (!account.empty() && m_log->Get(e, HistoryLog::Account) != account) continue;
    if (!field.empty() && m_log->Get(e, HistoryLog::Field) != field) continue;
    const std::string_view time = m_log->Get(e, HistoryLog::Time);
    if (!from.empty() && time < from) continue;
    if (!to.empty() && time > to) continue;
    if (!text.empty()) {
      bool found = false;
      for (int c = 0; c < HistoryLog::kColumns && !found; ++c)
        found = ContainsIgnoringCase(m_log->Get(e, static_cast<HistoryLog::Column>(c)), text);
      if (!found) continue;
    }
    rows.push_back(i);
  }
  beginResetModel();
  m_rows = std::move(rows);
  endResetModel();
  if (m_sortColumn >= 0) SortBy(m_sortColumn, m_sortOrder);
}

void HistoryModel::SortBy(int column, Qt::SortOrder order) {
  if (column >= kColumnCount) return;
  if (column < 0) {  // the history's own order
    m_sortColumn = -1;
    emit layoutAboutToBeChanged();
    std::sort(m_rows.begin(), m_rows.end());
    emit layoutChanged();
    return;
  }
  m_sortColumn = column;
  m_sortOrder = order;
  emit layoutAboutToBeChanged();
  const auto& entries = m_log->Entries();
  // Stable, so equal keys keep the history's order (its time order).
  std::stable_sort(m_rows.begin(), m_rows.end(), [&](std::uint32_t a, std::uint32_t b) {
    const std::string_view x = Cell(entries[a], column), y = Cell(entries[b], column);
    return order == Qt::AscendingOrder ? x < y : y < x;
  });
  emit layoutChanged();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const HistoryLog::Entry& e = m_log->Entries()[m_rows[static_cast<size_t>(index.row())]];
  if (index.column() == Taken) return Ui(e.takenOver ? "ext_History_Yes" : "ext_History_No");
  const std::string_view v = Cell(e, index.column());
  return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  static const char* keys[kColumnCount] = {
      "ext_History_Col_Time",   "ext_History_Col_User",  "ext_History_Col_Account",
      "ext_History_Col_Action", "ext_History_Col_Field", "ext_History_Col_Old",
      "ext_History_Col_New",    "ext_History_Col_Taken", "ext_History_Col_Shard"};
  return section >= 0 && section < kColumnCount ? QVariant(Ui(keys[section])) : QVariant();
}

HistoryWindow::HistoryWindow(const QString& historyPath, QWidget* parent)
    : QDialog(parent), m_path(historyPath), m_model(new HistoryModel(this)) {
  setObjectName(QStringLiteral("HistoryWindow"));
  setWindowTitle(Ui("ext_History_Title"));
  resize(900, 480);
  auto* layout = new QVBoxLayout(this);
  auto* filters = new QHBoxLayout;
  auto label = [&](const char* key, QWidget* field) {
    auto* l = new QLabel(Ui(key), this);
    l->setBuddy(field);
    filters->addWidget(l);
    filters->addWidget(field);
  };
  m_account = new QLineEdit(this);
  m_account->setObjectName(QStringLiteral("HistoryAccount"));
  m_field = new QComboBox(this);
  m_field->setObjectName(QStringLiteral("HistoryField"));
  m_field->addItem(Ui("ext_History_All"), QString());
  for (Field f : UpdateFields()) {
    const QString name = QString::fromStdString(HistoryFieldName(FieldInfoOf(f).name));
    m_field->addItem(name, name);
  }
  m_from = new QLineEdit(this);
  m_from->setObjectName(QStringLiteral("HistoryFrom"));
  m_to = new QLineEdit(this);
  m_to->setObjectName(QStringLiteral("HistoryTo"));
  for (QLineEdit* e : {m_from, m_to}) {
    e->setPlaceholderText(Ui("ext_History_DatePattern"));
    e->setMaximumWidth(130);
  }
  m_text = new QLineEdit(this);
  m_text->setObjectName(QStringLiteral("HistorySearch"));
  label("ext_History_Account", m_account);
  label("ext_History_Field", m_field);
  label("ext_History_From", m_from);
  label("ext_History_To", m_to);
  label("ext_History_Search", m_text);
  layout->addLayout(filters);
  m_warning = new QLabel(this);
  m_warning->setObjectName(QStringLiteral("HistoryWarning"));
  m_warning->setWordWrap(true);
  m_warning->setStyleSheet(QStringLiteral("background: #fff3c4; color: #5a4300; padding: 4px;"));
  m_warning->hide();
  layout->addWidget(m_warning);
  m_view = new QTableView(this);
  m_view->setObjectName(QStringLiteral("HistoryList"));
  m_view->setModel(m_model);
  m_view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  m_view->setSortingEnabled(true);
  m_view->horizontalHeader()->setStretchLastSection(true);
  m_view->verticalHeader()->hide();
  m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_view->setWordWrap(false);
  layout->addWidget(m_view, 1);
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("HistoryStatus"));
  layout->addWidget(m_status);

  // Typing waits for a pause before a million lines are looked at again.
  auto* timer = new QTimer(this);
  timer->setSingleShot(true);
  timer->setInterval(200);
  connect(timer, &QTimer::timeout, this, &HistoryWindow::FilterChanged);
  for (QLineEdit* e : {m_account, m_from, m_to, m_text})
    connect(e, &QLineEdit::textEdited, timer, qOverload<>(&QTimer::start));
  connect(m_field, &QComboBox::activated, this, &HistoryWindow::FilterChanged);
}

bool HistoryWindow::Reload() {
  const HistoryLog::Status status = m_model->Load(m_path);
  const HistoryLog& log = m_model->Log();
  QStringList warnings;
  if (status != HistoryLog::Status::Ok)
    warnings << FormatText(Ui("ext_History_Unreadable"), {QString::fromStdString(log.Error())});
  if (log.BadLines() > 0)
    warnings << FormatText(Ui("ext_History_BadLines"),
                           {log.BadLines(), QString::fromStdString(log.BadLinePlaces().front())});
  if (log.TornLastLine()) warnings << Ui("ext_History_Torn");
  m_warning->setText(warnings.join(QStringLiteral("\n")));
  m_warning->setVisible(!warnings.isEmpty());
  FilterChanged();
  m_view->resizeColumnsToContents();
  return status == HistoryLog::Status::Ok;
}

void HistoryWindow::ShowAccount(const QString& account) {
  m_account->setText(account);
  FilterChanged();
}

void HistoryWindow::FilterChanged() {
  HistoryModel::Filter f;
  f.account = m_account->text();
  f.field = m_field->currentData().toString();
  f.from = m_from->text();
  f.to = m_to->text();
  f.text = m_text->text();
  m_model->SetFilter(f);
  m_status->setText(StatusText());
}

QString HistoryWindow::StatusText() const {
  return FormatText(Ui("ext_History_Count"), {m_model->rowCount(), m_model->Total()});
}

}  // namespace kov
