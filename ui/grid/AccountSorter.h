#pragma once
#include <QCollator>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/AccountTable.h"
#include "ui/grid/Collation.h"

namespace kov {

// Collation keys by text, and the order of all texts met so far, kept from one sort to the
// next: a key depends only on the text and the collator, and computing keys and ordering
// them are the dearest parts of a sort. A later sort orders only the texts that are new.
//
// Most texts get a byte key instead of the collator's own key: for each character a primary,
// a secondary (accent) and a tertiary (case) weight, laid out level by level, so comparing
// the bytes compares the way the collator does for texts whose characters each carry one
// weight per level. The weights are read off the collator's comparisons and trusted only
// after checking them against it on every short string; characters that fail (expansions,
// contractions, ignorable ones) leave their texts to the collator's keys, and a failure among
// plain ASCII characters turns the byte keys off altogether.
class SortKeyCache {
 public:
  using Id = std::uint32_t;

  explicit SortKeyCache(const QCollator& collator);
  const QCollator& Collator() const { return m_collation.Collator(); }
  const Collation& Comparison() const { return m_collation; }

  // The entry of a text, added if new.
  Id Get(std::string_view text);
  // The entry of a row's text; remembers where the text lay, so a row whose field has not
  // changed since the last sort costs no hashing.
  Id Get(Field field, RowId row, std::string_view text);
  // The entries of a field's texts in these rows, into ids.
  void GetRows(const AccountTable& table, Field field, const std::vector<RowId>& rows,
               std::vector<Id>& ids);
  // Brings the ranks up to date after new texts came in.
  void UpdateRanks();
  // Position in the collation order of all entries; equal texts under the collator share it.
  std::uint32_t Rank(Id id) const { return m_entries[id].rank; }
  std::uint32_t RankCount() const { return m_rankCount; }
  size_t Size() const { return m_entries.size(); }
  // Needed when the table is emptied: its row ids and buffers start again.
  void Clear();

  // Whether the text is ordered by a byte key rather than the collator's own key.
  bool ByteKeyed(std::string_view text);

 private:
  struct Entry {
    std::uint64_t head = 0;  // the first 8 bytes of a byte key, big-endian
    std::uint32_t text = 0;  // offset in m_text
    std::uint32_t textSize = 0;
    std::uint32_t key = 0;      // offset in m_keyBytes, or index in m_icuKeys
    std::uint32_t keySize = 0;  // 0: a collator key
    std::uint32_t rank = 0;
  };
  struct Weights {
    std::uint8_t primary = 0;  // 0: no byte key for texts with this character
    std::uint8_t secondary = 0;
    std::uint8_t tertiary = 0;
  };
  struct RowRef {
    const char* text = nullptr;
    std::uint32_t size = 0;
    Id entry = 0;
  };

  void DeriveWeights();
  bool AssignWeights(const std::vector<unsigned char>& chars);
  bool Validate(const std::vector<unsigned char>& chars);
  bool MakeByteKey(std::string_view text, std::string& key) const;
  int CompareTexts(std::string_view a, std::string_view b) const;
  int Compare(Id a, Id b) const;
  bool ByteLess(Id a, Id b) const;
  std::vector<Id> MergeSorted(const std::vector<Id>& a, const std::vector<Id>& b) const;
  std::string_view TextOf(const Entry& e) const {
    return std::string_view(m_text.data() + e.text, e.textSize);
  }
  void Rehash(size_t slotCount);
  // Room for this many texts without growing the table.
  void Reserve(size_t texts);
  Id Find(std::string_view text, std::uint64_t hash);
  static constexpr std::uint64_t kTagMask = 0xFFFFFFFF00000000ull;

  Collation m_collation;
  bool m_derived = false;
  bool m_byteKeys = false;  // whether the weights passed the checks
  std::array<Weights, 256> m_weights{};
  std::vector<Entry> m_entries;
  std::string m_text;      // the entries' texts, back to back
  std::string m_keyBytes;  // the byte keys, back to back
  std::vector<Collation::Key> m_icuKeys;
  // Open addressing by text: the hash's high half, and the entry id + 1 (0: free).
  std::vector<std::uint64_t> m_slots;
  std::vector<RowRef> m_rows[kFieldCount];  // by field, by RowId
  std::vector<Id> m_sorted;                 // every entry, in collation order
  std::vector<Id> m_new;                    // entries not yet in m_sorted
  std::uint32_t m_rankCount = 0;
  std::string m_scratch;
};

// The table's rows in the order of one field: texts by the cache's collator, integers
// numerically with empty cells below every number. Rows with equal keys stay in the order
// they were added to the table; descending reverses the whole order, ties included.
std::vector<RowId> SortedOrder(const AccountTable& table, Field field, bool descending,
                               SortKeyCache& keys);
// The table's rows in the order of a number each row gives, rows without one below every
// number; ties as SortedOrder keeps them. For values no field holds (a count of fields).
std::vector<RowId> SortedOrderByNumber(const AccountTable& table,
                                       const std::function<std::optional<std::int64_t>(RowId)>& key,
                                       bool descending);
// Computes and ranks the keys of every row's text in a field, so that the next sort by it
// only orders rows. Meant for idle time after loading.
void PrepareSortKeys(const AccountTable& table, Field field, SortKeyCache& keys);

}  // namespace kov
