#pragma once
#include <QAbstractTableModel>

#include "store/AccountTable.h"
#include "ui/grid/GridIcons.h"

namespace kov {

// Adapts the AccountTable's view for the grid: no copy of any row. Columns follow the grid:
// status, account, password, level, e-mail, flags (hidden), days.
class AccountModel : public QAbstractTableModel, private AccountTable::Listener {
  Q_OBJECT

 public:
  enum Column { ColStatus, ColAccount, ColPassword, ColPLevel, ColEMail, ColPriv, ColDays };
  static constexpr int kColumnCount = 7;
  static Field FieldOfColumn(int column);
  // The status word of the status column's hint, or an empty text for other values.
  static QString StatusWord(int status);
  static AccountIcon IconOf(const AccountTable& table, RowId row);
  // A cell's text as the display role gives it.
  QString CellText(RowId row, int column) const;

  explicit AccountModel(AccountTable& table, QObject* parent = nullptr);
  ~AccountModel() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  AccountTable& Table() const { return m_table; }
  RowId RowAt(int row) const;
  // Titles are set from the current texts (language switch).
  void SetTitles(const QStringList& titles, const QStringList& hints);

 signals:
  void CurrentRowChanged();  // the table's cursor moved
  void RowStored(kov::RowId row);

 private:
  void ViewAboutToReset() override;
  void ViewReset() override;
  void ViewRowsAboutToBeInserted(int first, int last) override;
  void ViewRowsInserted() override;
  void ViewRowsAboutToBeRemoved(int first, int last) override;
  void ViewRowsRemoved() override;
  void ViewRowChanged(int viewIndex) override;
  void ViewRowsChanged(int first, int last) override;
  void CurrentChanged() override;
  void AfterPost(RowId row) override;

  AccountTable& m_table;
  QStringList m_titles;
  QStringList m_hints;
  bool m_resetting = false;
};

}  // namespace kov
