#pragma once
// The two rows of filter tabs above the grid and the row filter they stand for.
#include <QWidget>

#include "store/AccountTable.h"

class QTabBar;

namespace kov {

class FilterTabs : public QWidget {
  Q_OBJECT

 public:
  enum Tab { TabAll, TabGuest, TabPlayer, TabStaff, TabBlocked, TabJailed, TabCharCount, TabNotBlocked };

  FilterTabs(AccountTable& table, QWidget* parent = nullptr);

  QTabBar* TabControl1() const { return m_tab1; }
  QTabBar* TabControl2() const { return m_tab2; }

  // The row filter for the tabs as they are selected now.
  bool JvMemoryData1FilterRecord(const AccountTable& table, RowId row) const;
  // The operator chose a tab in either row.
  void TabControl1Change();
  // Tab "All" without running the change handler, second row hidden, filter off, first row
  // current; the second row keeps its choice.
  void FilterReset();
  void ApplyUiText();

 signals:
  // After a tab change: the caller refreshes the entry panel with this count.
  void FilterChanged(int visibleRows);

 private:
  AccountTable& m_table;
  QTabBar* m_tab1 = nullptr;
  QTabBar* m_tab2 = nullptr;
};

// ASCII-only upper-casing is enough here: the words tested are ASCII, and upper-casing a
// Windows-1252 letter never yields an ASCII one.
bool ContainsUpperAscii(std::string_view text, std::string_view upperWord);
bool EqualsUpperAscii(std::string_view text, std::string_view upperWord);

}  // namespace kov
