#include "ui/grid/AccountModel.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

#include "store/LetterCase.h"
#include "ui/grid/FilterTabs.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {

struct ColumnInfo {
  Field field;
  const char* title;  // UiText keys
  const char* hint;   // nullptr: no hint
  const char* settingsName;
};

const ColumnInfo kColumns[AccountModel::kColumnCount] = {
    {dbstatus, "f1_Grid_Status", "f1_Grid_Status_Hint", nullptr},
    {dbaccount, "f1_Grid_Account", "f1_Grid_Account_Hint", nullptr},
    {dbpasswort, "f1_Grid_Password", "f1_Grid_Password_Hint", nullptr},
    {dbplevel, "f1_Grid_PLevel", "f1_Grid_PLevel_hint", nullptr},
    {dbemail, "f1_Grid_EMail", "f1_Grid_EMail_Hint", nullptr},
    {dbpriv, "ext_Grid_PrivFlags", nullptr, nullptr},
    {dbcounter, "f1_Grid_LastConnect", "f1_Grid_LastConnect_Hint", nullptr},
    {dbblock, "ext_Grid_Blocked", nullptr, "BLOCKED"},
    {dbjail, "ext_Grid_Jailed", nullptr, "JAILED"},
    {dbcharuid1, "ext_Grid_Characters", "ext_Grid_Characters_Hint", "CHARACTERS"},
    {dblastip, "ext_Grid_LastIp", nullptr, "LASTIP"},
    {dbfirstcd, "ext_Grid_FirstConnect", nullptr, "FIRSTCONNECT"},
    {dblastcd, "ext_Grid_LastConnectDate", nullptr, "LASTCONNECT"},
    {dbchatname, "ext_Grid_ChatName", nullptr, "CHATNAME"},
    {dblanguage, "ext_Grid_Language", nullptr, "LANGUAGE"},
    {dbcommend, "ext_Grid_Comment", nullptr, "COMMENT"},
};

}  // namespace

Field AccountModel::FieldOfColumn(int column) { return kColumns[column].field; }

bool AccountModel::IsNumberColumn(int column) {
  return IsCharacterCount(column) || FieldInfoOf(kColumns[column].field).isInteger;
}

const char* AccountModel::SettingsName(int column) {
  return column >= 0 && column < kColumnCount ? kColumns[column].settingsName : nullptr;
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
  ApplyUiText();  // the window applies them again with every language
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
  if (IsCharacterCount(column)) return QString::number(m_table.CharacterCount(row));
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
      if (IsNumberColumn(index.column())) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
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

void AccountModel::ApplyUiText() {
  m_titles.clear();
  m_hints.clear();
  for (const ColumnInfo& c : kColumns) {
    m_titles << Ui(c.title);
    m_hints << (c.hint ? Ui(c.hint) : QString());
  }
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
