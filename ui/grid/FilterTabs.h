#pragma once
// The two rows of filter tabs above the grid and the row filter they stand for.
#include <QWidget>
#include <cstdint>
#include <vector>

#include "store/AccountTable.h"
#include "store/TabFilter.h"

class QTabBar;

namespace kov {

class FilterTabs : public QWidget, private AccountTable::Listener {
  Q_OBJECT

 public:
  FilterTabs(AccountTable& table, QWidget* parent = nullptr);
  ~FilterTabs() override;

  // The tabs by kind of account ("TabControl1") and, shown under "Char Count" only, the
  // tabs by number of characters ("TabControl2").
  QTabBar* FilterTabBar() const { return m_filterTabBar; }
  QTabBar* CharCountTabBar() const { return m_charCountTabBar; }

  // The row filter for the tabs as they are selected now.
  bool AcceptsRow(const AccountTable& table, RowId row) const;
  // The operator chose a tab in either row.
  void TabChange();
  // Tab "All" without running the change handler, second row hidden, filter off, first row
  // current; the second row keeps its choice.
  void FilterReset();
  void ApplyUiText();
  // A further row test that must pass as well as the tab's (the search field); empty for
  // none. `bulk`, when given, is the same test over many rows at once. ApplyExtraFilter
  // judges every row again with it; `narrowing` says the new test accepts no row the one it
  // replaced rejected, so only the rows shown now need judging.
  void SetExtraFilter(AccountTable::Predicate test, AccountTable::BulkPredicate bulk = {}) {
    m_extra = std::move(test);
    m_extraBulk = std::move(bulk);
  }
  void ApplyExtraFilter(bool narrowing = false);
  AccountTable& Table() const { return m_table; }

 signals:
  // At the start of FilterReset, so that the extra test can be dropped with it.
  void FilterWasReset();
  // After a tab change: the caller refreshes the entry panel with this count.
  void FilterChanged(int visibleRows);

 private:
  // What the tabs test of a row (TabClassOf), kept once per stored state of the row: the
  // filter reads rows in table order, which after a sort is no order in memory at all.
  std::uint16_t ClassOf(const AccountTable& table, RowId row) const;
  std::uint16_t ComputeClass(const AccountTable& table, RowId row) const;
  void FilterRows(const AccountTable& table, const RowId* rows, size_t n,
                  std::vector<RowId>& out) const;
  void AfterPost(RowId row) override;
  void ViewReset() override;

  AccountTable& m_table;
  mutable std::vector<std::uint16_t> m_class;  // by RowId
  QTabBar* m_filterTabBar = nullptr;
  QTabBar* m_charCountTabBar = nullptr;
  // The selected tabs as the filter last took them; read for every row while filtering.
  int m_tab = 0;
  int m_charTab = 0;
  AccountTable::Predicate m_extra;
  AccountTable::BulkPredicate m_extraBulk;
  mutable std::vector<RowId> m_tabRows;  // the tab's rows, before the extra test
};

}  // namespace kov
