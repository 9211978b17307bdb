#include "ui/grid/AccountModel.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include "store/LetterCase.h"
#include "ui/grid/FilterTabs.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Text1252.h"

namespace kov {

Field AccountModel::FieldOfColumn(int column) {
  static const Field kFields[kColumnCount] = {dbstatus, dbaccount, dbpasswort, dbplevel,
                                              dbemail,  dbpriv,    dbcounter};
  return kFields[column];
}

QString AccountModel::StatusWord(int status) {
  switch (status) {
    case StatusStored:
      return Ui("f1_Grid_Hint_0");
    case StatusChanged:
      return Ui("f1_Grid_Hint_1");
    case StatusNew:
      return Ui("f1_Grid_Hint_2");
    default:
      return {};
  }
}

AccountIcon AccountModel::IconOf(const AccountTable& table, RowId row) {
  // The remote administrator is known by name, whatever its level.
  if (EqualsUpperAscii(table.Text(row, dbaccount), "REMOTEADMIN")) return AccountIcon::RemoteAdmin;
  const std::string_view level = table.Text(row, dbplevel);
  if (EqualsUpperAscii(level, "OWNER")) return AccountIcon::Owner;
  if (EqualsUpperAscii(level, "ADMIN")) return AccountIcon::Admin;
  return AccountIcon::None;
}

AccountModel::AccountModel(AccountTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
  // The window sets them again with every language.
  m_titles = {Ui("f1_Grid_Status"),     Ui("f1_Grid_Account"), Ui("f1_Grid_Password"),
              Ui("f1_Grid_PLevel"),     Ui("f1_Grid_EMail"),   Ui("ext_Grid_PrivFlags"),
              Ui("f1_Grid_LastConnect")};
  m_hints = {Ui("f1_Grid_Status_Hint"),     Ui("f1_Grid_Account_Hint"), Ui("f1_Grid_Password_Hint"),
             Ui("f1_Grid_PLevel_hint"),     Ui("f1_Grid_EMail_Hint"),   QString(),
             Ui("f1_Grid_LastConnect_Hint")};
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

QString AccountModel::CellText(RowId row, int column) const {
  if (column == ColStatus) return {};
  const Field f = FieldOfColumn(column);
  if (FieldInfoOf(f).isInteger) {
    // A text, so no locale adds group separators.
    auto v = m_table.Int(row, f);
    return v ? QString::number(*v) : QString();
  }
  return FromCp1252(m_table.Text(row, f));
}

QVariant AccountModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= kColumnCount) return {};
  const RowId row = RowAt(index.row());
  if (row == kNoRow) return {};
  const Field f = FieldOfColumn(index.column());
  switch (role) {
    case Qt::DisplayRole:
      if (index.column() == ColStatus) return {};
      return CellText(row, index.column());
    case Qt::ToolTipRole:
      if (index.column() == ColStatus) {
        if (m_table.IsWritten(row)) return Ui("ext_Grid_Hint_Sent");
        auto v = m_table.Int(row, dbstatus);
        return v ? StatusWord(*v) : QString();
      }
      return {};
    case Qt::TextAlignmentRole:
      if (FieldInfoOf(f).isInteger) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
      if (index.column() == ColEMail) {
        QFont font;
        font.setUnderline(true);
        return font;
      }
      return {};
    case Qt::ForegroundRole:
      if (index.column() == ColEMail) return QGuiApplication::palette().color(QPalette::Link);
      return {};
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
void AccountModel::ViewRowsChanged(int first, int last) {
  emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
}
void AccountModel::CurrentChanged() { emit CurrentRowChanged(); }
void AccountModel::AfterPost(RowId row) { emit RowStored(row); }

}  // namespace kov
