#include "ui/main/AccountSorter.h"

#include <algorithm>
#include <limits>
#include <iterator>

#include "ui/main/Text1252.h"

namespace kov {

namespace {

struct Keyed {
  std::int64_t key;
  RowId row;
  bool operator<(const Keyed& o) const { return key != o.key ? key < o.key : row < o.row; }
};

void RankTexts(const AccountTable& table, Field field, SortKeyCache& keys,
               std::vector<Keyed>& keyed) {
  std::vector<SortKeyCache::Entry*> entries(keyed.size());
  for (size_t i = 0; i < keyed.size(); ++i)
    entries[i] = &keys.Get(field, keyed[i].row, table.Text(keyed[i].row, field));
  keys.UpdateRanks();
  for (size_t i = 0; i < keyed.size(); ++i) keyed[i].key = entries[i]->rank;
}

}  // namespace

SortKeyCache::SortKeyCache(const QCollator& collator) : m_collator(collator) {}

SortKeyCache::Entry& SortKeyCache::Get(std::string_view text) {
  auto it = m_entries.find(text);
  if (it == m_entries.end()) {
    it = m_entries.emplace(std::string(text), Entry{m_collator.sortKey(FromCp1252(text))}).first;
    m_new.push_back(&it->second);
  }
  return it->second;
}

void SortKeyCache::UpdateRanks() {
  if (m_new.empty()) return;
  auto less = [](const Entry* a, const Entry* b) { return a->key.compare(b->key) < 0; };
  std::sort(m_new.begin(), m_new.end(), less);
  std::vector<Entry*> merged;
  merged.reserve(m_sorted.size() + m_new.size());
  std::merge(m_sorted.begin(), m_sorted.end(), m_new.begin(), m_new.end(),
             std::back_inserter(merged), less);
  m_sorted = std::move(merged);
  m_new.clear();
  std::int64_t rank = 0;
  for (size_t i = 0; i < m_sorted.size(); ++i) {
    if (i > 0 && m_sorted[i - 1]->key.compare(m_sorted[i]->key) != 0) ++rank;
    m_sorted[i]->rank = rank;
  }
}

SortKeyCache::Entry& SortKeyCache::Get(Field field, RowId row, std::string_view text) {
  std::vector<RowRef>& refs = m_rows[field];
  if (row >= refs.size()) refs.resize(static_cast<size_t>(row) + 1024);
  RowRef& ref = refs[row];
  if (ref.entry && ref.text == text.data() && ref.size == text.size()) return *ref.entry;
  Entry& e = Get(text);
  ref = {text.data(), static_cast<std::uint32_t>(text.size()), &e};
  return e;
}

std::vector<RowId> SortedOrder(const AccountTable& table, Field field, bool descending,
                               SortKeyCache& keys) {
  // Texts of edited or deleted rows pile up; start afresh once they outnumber the rows.
  if (keys.Size() > 4 * static_cast<size_t>(table.RowCount()) + 1024) keys.Clear();
  const std::vector<RowId>& order = table.Order();
  std::vector<Keyed> keyed(order.size());
  // Walking in RowId order reads the rows where they lie in memory.
  for (size_t i = 0; i < order.size(); ++i) keyed[i].row = order[i];
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.row < b.row; });
  if (FieldInfoOf(field).isInteger) {
    for (Keyed& k : keyed) {
      const auto v = table.Int(k.row, field);
      k.key = v ? *v : std::numeric_limits<std::int64_t>::min();
    }
  } else {
    RankTexts(table, field, keys, keyed);
  }
  // RowIds count up in the order rows were added, so they break ties.
  std::sort(keyed.begin(), keyed.end());
  std::vector<RowId> out(keyed.size());
  for (size_t i = 0; i < keyed.size(); ++i) out[i] = keyed[i].row;
  if (descending) std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace kov
