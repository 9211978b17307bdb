#pragma once
// The search field above the grid: narrows the rows the selected tab shows to those whose
// account name, e-mail, chat name, last IP or first IP contains the text, ignoring case.
#include <QLineEdit>
#include <string>
#include <string_view>

#include "store/AccountTable.h"

class QTimer;

namespace kov {

class FilterTabs;

// Windows-1252 letters compared without regard to case; built once.
class RowSearch {
 public:
  // `needle` in Windows-1252 bytes; empty matches every row.
  explicit RowSearch(std::string_view needle);
  bool Matches(const AccountTable& table, RowId row) const;
  bool Contains(std::string_view text) const;

 private:
  std::string m_needle;  // folded
};

class SearchField : public QLineEdit {
  Q_OBJECT

 public:
  static constexpr int kPauseMilliseconds = 250;

  SearchField(FilterTabs& tabs, QWidget* parent = nullptr);

  // Filters with the field's text now, without waiting for the pause.
  void ApplyNow();
  void ApplyUiText();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  FilterTabs& m_tabs;
  QTimer* m_pause = nullptr;
  QString m_applied;  // the text the filter holds
};

}  // namespace kov
