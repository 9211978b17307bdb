#pragma once
// The account grid "JvDBGrid1": a read-only view over the table's view whose current row is
// the table's current row.
#include <QCollator>
#include <QHeaderView>
#include <QTableView>
#include <memory>
#include <vector>

#include "store/AccountTable.h"

class QMenu;

namespace kov {

class AccountModel;
class GridDelegate;
class SortKeyCache;

// Titles drawn as raised buttons on sky blue, with the sort marker.
class TitleHeader : public QHeaderView {
  Q_OBJECT

 public:
  static constexpr int kHeight = 17;
  explicit TitleHeader(QWidget* parent = nullptr);
  QSize sizeHint() const override;
  void reset() override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
};

class AccountGrid : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 17;
  static const int kDesignWidths[7];

  AccountGrid(AccountModel& model, QWidget* parent = nullptr);
  ~AccountGrid() override;

  // New Account, a separator, Delete Account, Send EMail.
  QMenu* PopupMenu() const { return m_menu; }
  void SetMenuActions(QAction* newAccount, QAction* deleteAccount, QAction* sendEmail);

  // Sorting by a column's field, as a click on its title does.
  void TitleClick(int column);
  // Readies the sort keys of the sort column, so the first title click after loading is as
  // quick as later ones; run from idle time once the rows are shown.
  void PrepareSortKeys();
  int SortColumn() const { return m_sortColumn; }
  bool SortDescending() const { return m_sortDescending; }
  // The collation that orders texts (the user's locale by default, case-sensitive).
  void SetCollator(const QCollator& collator);

  // Only the current row stays selected.
  void ClearMultiSelection();
  // The selected rows, in view order.
  std::vector<RowId> SelectedRows() const;
  // How many rows are highlighted, without listing them.
  int HighlightedCount() const;
  // Highlights these rows (those in the view), contiguous ones as one range, and keeps the
  // current row current when it is among them.
  void HighlightRows(const std::vector<RowId>& rows);
  // The text the cell's hint shows at that point of the viewport, or an empty text.
  QString CellHint(const QPoint& viewportPos) const;
  // Each visible column gets its design width scaled to the client width; the last takes
  // the rest.
  void ScaleColumns();

 signals:
  void Sorted();

 protected:
  // Ctrl with a move key would move the current row without the highlight, and the editor
  // and the commands would then act on a row the operator does not see highlighted.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void SyncMarks(const QItemSelection& selected, const QItemSelection& deselected);

  AccountModel& m_model;
  AccountTable& m_table;
  TitleHeader* m_header = nullptr;
  GridDelegate* m_delegate = nullptr;
  QMenu* m_menu = nullptr;
  std::unique_ptr<SortKeyCache> m_sortKeys;
  std::vector<RowId> m_marked;  // rows this grid marked; cleared without walking the table
  int m_sortColumn;
  bool m_sortDescending = false;
};

}  // namespace kov
