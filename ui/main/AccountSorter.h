#pragma once
#include <QCollator>
#include <QCollatorSortKey>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/AccountTable.h"

namespace kov {

// Collation keys by text, and the order of all texts met so far, kept from one sort to the
// next: a key depends only on the text and the collator, and computing keys and ordering
// them are the dearest parts of a sort. A later sort orders only the texts that are new.
class SortKeyCache {
 public:
  explicit SortKeyCache(const QCollator& collator);
  const QCollator& Collator() const { return m_collator; }

  struct Entry {
    QCollatorSortKey key;
    std::int64_t rank = 0;  // position in the collation order; equal keys share it
  };
  Entry& Get(std::string_view text);
  // The entry of a row's text; remembers where the text lay, so a row whose field has not
  // changed since the last sort costs no hashing.
  Entry& Get(Field field, RowId row, std::string_view text);
  // Brings the ranks up to date after new texts came in.
  void UpdateRanks();
  size_t Size() const { return m_entries.size(); }
  // Needed when the table is emptied: its row ids and buffers start again.
  void Clear() {
    m_entries.clear();
    m_sorted.clear();
    m_new.clear();
    for (auto& v : m_rows) v.clear();
  }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  QCollator m_collator;
  std::unordered_map<std::string, Entry, Hash, std::equal_to<>> m_entries;  // nodes stay put
  struct RowRef {
    const char* text = nullptr;
    std::uint32_t size = 0;
    Entry* entry = nullptr;
  };
  std::vector<RowRef> m_rows[kFieldCount];  // by field, by RowId
  std::vector<Entry*> m_sorted;  // every entry, in collation order
  std::vector<Entry*> m_new;     // entries not yet in m_sorted
};

// The table's rows in the order of one field: texts by the cache's collator, integers
// numerically with empty cells below every number. Rows with equal keys stay in the order
// they were added to the table; descending reverses the whole order, ties included.
std::vector<RowId> SortedOrder(const AccountTable& table, Field field, bool descending,
                               SortKeyCache& keys);

}  // namespace kov
