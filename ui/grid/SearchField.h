#pragma once
// The search field above the grid: narrows the rows the selected tab shows to those whose
// account name, e-mail, chat name, last IP or first IP contains the text, ignoring case, or
// a text column the operator has shown in the grid (comment, language, connect dates).
#include <QLineEdit>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/AccountTable.h"

class QTimer;

namespace kov {

class FilterTabs;

// Windows-1252 letters compared without regard to case; built once.
class RowSearch {
 public:
  // `needle` in Windows-1252 bytes; empty matches every row. `extra`: fields searched
  // besides the usual five.
  explicit RowSearch(std::string_view needle, std::vector<Field> extra = {});
  bool Matches(const AccountTable& table, RowId row) const;
  bool Contains(std::string_view text) const;
  const std::string& Folded() const { return m_needle; }

 private:
  std::string m_needle;  // folded
  std::vector<Field> m_extra;
};

// The searched fields of every row, folded and laid end to end, so that a search is one
// pass over contiguous bytes instead of five short texts per row scattered over the file.
// Built at the first search; a row stored later is judged from the table itself until the
// next build.
class SearchIndex : private AccountTable::Listener {
 public:
  explicit SearchIndex(AccountTable& table);
  ~SearchIndex() override;
  SearchIndex(const SearchIndex&) = delete;
  SearchIndex& operator=(const SearchIndex&) = delete;

  // Appends the rows among `rows[0..n)` that `search` matches, in their order.
  void Filter(const RowSearch& search, const RowId* rows, size_t n, std::vector<RowId>& out);
  // Builds the index now if it is missing or out of date, so the first keystroke does not.
  void Prepare();
  // Fields searched besides the usual five (the grid's shown text columns); a change
  // rebuilds the index at the next search. Fields searched anyway are left out.
  void SetExtraFields(const std::vector<Field>& fields);
  const std::vector<Field>& ExtraFields() const { return m_extraFields; }

  // While the search field applies a new text with the tabs unchanged, the answers of the
  // texts applied since the rows, their order or the tabs last changed are remembered and
  // used again: erasing a letter goes back to one of them without a pass over every row.
  class Applying {
   public:
    explicit Applying(SearchIndex& index) : m_index(index) { m_index.m_applying = true; }
    ~Applying() { m_index.m_applying = false; }
    Applying(const Applying&) = delete;
    Applying& operator=(const Applying&) = delete;

   private:
    SearchIndex& m_index;
  };
  void ForgetAnswers() { m_answers.clear(); }
  // The tabs' filter changed: by another tab, or by this search's own new text.
  void FilterChanged() {
    if (!m_applying) ForgetAnswers();
  }
  // How many times a search judged the rows rather than reuse an answer.
  size_t Passes() const { return m_passes; }

 private:
  void AfterPost(RowId row) override;
  void ViewReset() override;
  void ViewRowsInserted() override { ForgetAnswers(); }
  void ViewRowsRemoved() override { ForgetAnswers(); }
  void ViewRowChanged(int) override { ForgetAnswers(); }
  void ViewRowsChanged(int, int) override { ForgetAnswers(); }
  void FilterAll(const RowSearch& search, const RowId* rows, size_t n, std::vector<RowId>& out);
  void DropIndex();
  void Build();
  bool Indexed(RowId row) const { return row < m_built && !m_stale[row]; }
  bool SegmentContains(RowId row, std::string_view needle) const;
  void ScanAll(std::string_view needle);  // sets m_hit for every indexed row

  struct Part {
    std::string bytes;                 // per row: each of its fields, then a 0 byte
    std::vector<std::uint32_t> start;  // by RowId, and one past the last row
    std::array<bool, 256> present{};   // the bytes that occur in it
    bool MayHold(std::string_view needle) const;
    void Scan(std::string_view needle, std::uint8_t* hit) const;
  };

  AccountTable& m_table;
  // Names and addresses apart from the IPs: a needle with a byte that no IP holds (a letter,
  // as a rule) skips the IPs.
  Part m_names;
  Part m_ips;
  Part m_extra;
  std::vector<Field> m_extraFields;
  std::vector<std::uint8_t> m_stale;  // by RowId: stored since the build
  std::vector<std::uint8_t> m_hit;    // by RowId: the last scan's answer
  RowId m_built = 0;                  // rows below this are in the index
  size_t m_staleCount = 0;

  struct Answer {
    std::string needle;  // folded
    std::vector<RowId> rows;
  };
  std::vector<Answer> m_answers;  // the latest last
  bool m_applying = false;
  size_t m_passes = 0;
};

class SearchField : public QLineEdit {
  Q_OBJECT

 public:
  static constexpr int kPauseMilliseconds = 250;

  SearchField(FilterTabs& tabs, QWidget* parent = nullptr);

  // Filters with the field's text now, without waiting for the pause.
  void ApplyNow();
  void ApplyUiText();
  const SearchIndex& Index() const { return *m_index; }
  // Searches these fields too, and filters again with the text applied.
  void SetExtraFields(const std::vector<Field>& fields);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  FilterTabs& m_tabs;
  QTimer* m_pause = nullptr;
  QString m_applied;           // the text the filter holds
  std::string m_appliedBytes;  // folded, when the filter searches for it
  std::shared_ptr<SearchIndex> m_index;
};

}  // namespace kov
