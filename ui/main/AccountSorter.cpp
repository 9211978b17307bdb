#include "ui/main/AccountSorter.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "ui/main/Text1252.h"

namespace kov {

namespace {

struct Keyed {
  std::int64_t key;
  RowId row;
  bool operator<(const Keyed& o) const { return key != o.key ? key < o.key : row < o.row; }
};

// Ranks the distinct texts once through the collator, so a column with few distinct values
// (levels, e-mail domains) costs little and a column of unique names costs one sort key
// per row instead of a collator comparison per row pair.
void RankTexts(const AccountTable& table, Field field, const QCollator& collator,
               std::vector<Keyed>& keyed) {
  std::unordered_map<std::string_view, std::uint32_t> distinctIndex;
  distinctIndex.reserve(keyed.size());
  std::vector<std::string_view> distinct;
  std::vector<std::uint32_t> rowDistinct(keyed.size());
  for (size_t i = 0; i < keyed.size(); ++i) {
    const std::string_view text = table.Text(keyed[i].row, field);
    auto [it, inserted] = distinctIndex.try_emplace(text, static_cast<std::uint32_t>(distinct.size()));
    if (inserted) distinct.push_back(text);
    rowDistinct[i] = it->second;
  }
  std::vector<QCollatorSortKey> sortKeys;
  sortKeys.reserve(distinct.size());
  for (std::string_view text : distinct) sortKeys.push_back(collator.sortKey(FromCp1252(text)));
  std::vector<std::uint32_t> byKey(distinct.size());
  std::iota(byKey.begin(), byKey.end(), 0u);
  std::sort(byKey.begin(), byKey.end(), [&](std::uint32_t a, std::uint32_t b) {
    return sortKeys[a].compare(sortKeys[b]) < 0;
  });
  std::vector<std::int64_t> rank(distinct.size());
  std::int64_t r = 0;
  for (size_t i = 0; i < byKey.size(); ++i) {
    if (i > 0 && sortKeys[byKey[i - 1]].compare(sortKeys[byKey[i]]) != 0) ++r;
    rank[byKey[i]] = r;
  }
  for (size_t i = 0; i < keyed.size(); ++i) keyed[i].key = rank[rowDistinct[i]];
}

}  // namespace

std::vector<RowId> SortedOrder(const AccountTable& table, Field field, bool descending,
                               const QCollator& collator) {
  const std::vector<RowId>& order = table.Order();
  std::vector<Keyed> keyed(order.size());
  for (size_t i = 0; i < order.size(); ++i) keyed[i].row = order[i];
  if (FieldInfoOf(field).isInteger) {
    for (Keyed& k : keyed) {
      const auto v = table.Int(k.row, field);
      k.key = v ? *v : std::numeric_limits<std::int64_t>::min();
    }
  } else {
    RankTexts(table, field, collator, keyed);
  }
  // RowIds count up in the order rows were added, so they break ties.
  std::sort(keyed.begin(), keyed.end());
  std::vector<RowId> out(keyed.size());
  for (size_t i = 0; i < keyed.size(); ++i) out[i] = keyed[i].row;
  if (descending) std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace kov
