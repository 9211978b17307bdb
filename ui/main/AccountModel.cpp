#include "ui/main/AccountModel.h"

#include "ui/main/Text1252.h"

namespace kov {

Field AccountModel::FieldOfColumn(int column) {
  static const Field kFields[kColumnCount] = {dbstatus, dbaccount, dbpasswort, dbplevel,
                                              dbemail,  dbpriv,    dbcounter};
  return kFields[column];
}

AccountModel::AccountModel(AccountTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
  m_titles = {"S", "Account", "Password", "PLevel", "EMail", "Priv Flags", "Days"};
  m_hints = {"Status", "Account Name", "Password", "User Level", "EMail", "", "Last Login x days ago"};
  m_table.AddListener(this);
}

AccountModel::~AccountModel() { m_table.RemoveListener(this); }

int AccountModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || m_resetting ? 0 : m_table.ViewCount();
}

int AccountModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

RowId AccountModel::RowAt(int row) const {
  return row >= 0 && row < m_table.ViewCount() ? m_table.ViewRow(row) : kNoRow;
}

QVariant AccountModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= kColumnCount) return {};
  const RowId row = RowAt(index.row());
  if (row == kNoRow) return {};
  const Field f = FieldOfColumn(index.column());
  switch (role) {
    case Qt::DisplayRole:
      if (index.column() == ColStatus) return {};
      if (FieldInfoOf(f).isInteger) {
        auto v = m_table.Int(row, f);
        return v ? QVariant(*v) : QVariant();
      }
      return FromCp1252(m_table.Text(row, f));
    default:
      return {};
  }
}

QVariant AccountModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
  if (role == Qt::DisplayRole) return m_titles.value(section);
  if (role == Qt::ToolTipRole) return m_hints.value(section);
  return {};
}

void AccountModel::SetTitles(const QStringList& titles, const QStringList& hints) {
  m_titles = titles;
  m_hints = hints;
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void AccountModel::ViewAboutToReset() {
  beginResetModel();
  m_resetting = true;
}
void AccountModel::ViewReset() {
  m_resetting = false;
  endResetModel();
}
void AccountModel::ViewRowsAboutToBeInserted(int first, int last) {
  beginInsertRows({}, first, last);
}
void AccountModel::ViewRowsInserted() { endInsertRows(); }
void AccountModel::ViewRowsAboutToBeRemoved(int first, int last) {
  beginRemoveRows({}, first, last);
}
void AccountModel::ViewRowsRemoved() { endRemoveRows(); }
void AccountModel::ViewRowChanged(int viewIndex) {
  emit dataChanged(index(viewIndex, 0), index(viewIndex, kColumnCount - 1));
}
void AccountModel::CurrentChanged() { emit CurrentRowChanged(); }
void AccountModel::AfterPost(RowId row) { emit RowStored(row); }

}  // namespace kov
