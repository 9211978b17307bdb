#include "ui/grid/AccountSorter.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "store/Cp1252.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {

// The UTF-16 of Windows-1252 bytes, in a caller's buffer when it fits.
QStringView Widen(std::string_view bytes, char16_t* buf, size_t bufSize, std::u16string& big) {
  char16_t* out = buf;
  if (bytes.size() > bufSize) {
    big.resize(bytes.size());
    out = big.data();
  }
  for (size_t i = 0; i < bytes.size(); ++i)
    out[i] = static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(bytes[i])));
  return QStringView(out, static_cast<qsizetype>(bytes.size()));
}

// Hashes a text 8 bytes at a time; names are short and the table only needs them spread.
size_t HashText(std::string_view text) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  std::uint64_t w = 0;
  for (size_t j = text.size(); j > i; --j) w = (w << 8) | static_cast<unsigned char>(text[j - 1]);
  h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<size_t>(h ^ (h >> 29));
}

std::uint64_t Head(std::string_view key) {
  std::uint64_t h = 0;
  for (size_t i = 0; i < 8; ++i)
    h = (h << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  return h;
}

// Short strings a contraction, an expansion or an ignorable character would show up in.
const char* const kSamples[] = {
    "Admin",
    "admin",
    "ADMIN",
    "aDmin",
    "Counselor",
    "counselor",
    "GM",
    "Gm",
    "gm",
    "Guest",
    "guest",
    "Player",
    "player2",
    "Player10",
    "player_1",
    "player-1",
    "player 1",
    "player.1",
    "Seer",
    "Owner",
    "Dev",
    "a b",
    "a-b",
    "a_b",
    "ab",
    "a1",
    "A1",
    "1a",
    "Z9",
    "z-9",
    "green",
    "Green12",
    "greenhorn",
    "test",
    "testing",
    "tester",
    "Test",
    "TEST",
    "x",
    "X",
    "o'neil",
    "O'Neil",
    "oneil",
    "j\xFCrgen",
    "J\xFCrgen",
    "jurgen",
    "juergen",
    "m\xFCller",
    "muller",
    "mueller",
    "s\xF8ren",
    "soren",
    "S\xF8ren",
    "jos\xE9",
    "jose",
    "Jos\xE9",
    "fran\xE7ois",
    "francois",
    "\xC4rger",
    "arger",
    "Arger",
    "z\xF6"
    "e",
    "zoe",
    "se\xF1or",
    "senor",
    "\xE6thelred",
    "aethelred",
    "andr\xE9",
    "andre",
    "Andr\xE9",
    "stra\xDF"
    "e",
    "strasse",
    "\xC5sa",
    "asa",
    "\xD8ystein",
    "\xC9tienne",
    "etienne",
    "c\xF4te",
    "cote",
    "cot\xE9",
};

}  // namespace

SortKeyCache::SortKeyCache(const QCollator& collator) : m_collation(collator) {}

void SortKeyCache::Clear() {
  m_entries.clear();
  m_text.clear();
  m_keyBytes.clear();
  m_icuKeys.clear();
  m_slots.clear();
  m_sorted.clear();
  m_new.clear();
  m_rankCount = 0;
  for (auto& v : m_rows) v.clear();
}

int SortKeyCache::CompareTexts(std::string_view a, std::string_view b) const {
  // The collator calls an empty text less than any other, even one that weighs nothing;
  // its keys do not.
  if (a.empty() || b.empty())
    return m_collation.KeyOf(FromCp1252(a)).compare(m_collation.KeyOf(FromCp1252(b)));
  char16_t bufA[64], bufB[64];
  std::u16string bigA, bigB;
  return m_collation.Compare(Widen(a, bufA, 64, bigA), Widen(b, bufB, 64, bigB));
}

bool SortKeyCache::MakeByteKey(std::string_view text, std::string& key) const {
  if (!m_byteKeys) return false;
  const size_t n = text.size();
  key.resize(3 * n + 2);
  char* p = key.data();
  for (size_t i = 0; i < n; ++i) {
    const Weights& w = m_weights[static_cast<unsigned char>(text[i])];
    if (!w.primary) return false;
    p[i] = static_cast<char>(w.primary);
    p[n + 1 + i] = static_cast<char>(w.secondary);
    p[2 * n + 2 + i] = static_cast<char>(w.tertiary);
  }
  p[n] = 0;
  p[2 * n + 1] = 0;
  return true;
}

// Sorts the characters by the collator and numbers the runs of equal primary, secondary and
// tertiary weight. Adjacent characters x <= y share a primary weight exactly when "xb" sorts
// after "ya": the second character decides only then.
bool SortKeyCache::AssignWeights(const std::vector<unsigned char>& chars) {
  m_weights = {};
  m_byteKeys = false;
  auto one = [](unsigned char c) { return QChar(static_cast<char16_t>(Cp1252ToUnicode(c))); };
  std::vector<unsigned char> order(chars);
  std::stable_sort(order.begin(), order.end(), [&](unsigned char x, unsigned char y) {
    const QChar a = one(x), b = one(y);
    return m_collation.Compare(QStringView(&a, 1), QStringView(&b, 1)) < 0;
  });
  QCollator caselessCollator(m_collation.Collator());
  caselessCollator.setCaseSensitivity(Qt::CaseInsensitive);
  const Collation caseless(caselessCollator);
  int primary = 1, secondary = 1, tertiary = 1;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i > 0) {
      const QChar x = one(order[i - 1]), y = one(order[i]);
      const QChar xb[2] = {x, QChar(u'b')}, ya[2] = {y, QChar(u'a')};
      if (m_collation.Compare(QStringView(xb, 2), QStringView(ya, 2)) <= 0) {
        ++primary;
        secondary = tertiary = 1;
      } else if (caseless.Compare(QStringView(&x, 1), QStringView(&y, 1)) != 0) {
        ++secondary;
        tertiary = 1;
      } else if (m_collation.Compare(QStringView(&x, 1), QStringView(&y, 1)) != 0) {
        ++tertiary;
      }
      if (primary > 255 || secondary > 255 || tertiary > 255) return false;
    }
    m_weights[order[i]] = {static_cast<std::uint8_t>(primary), static_cast<std::uint8_t>(secondary),
                           static_cast<std::uint8_t>(tertiary)};
  }
  return true;
}

namespace {

// A string of up to three characters with its byte key, compared as one 128-bit number.
struct Probe {
  unsigned __int128 key;
  std::uint32_t text;  // the bytes, low first, and the length in the top byte
  bool operator<(const Probe& o) const { return key < o.key; }
};

std::string_view BytesOf(std::uint32_t text, char* out) {
  const size_t n = text >> 24;
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>((text >> (8 * i)) & 0xFF);
  return std::string_view(out, n);
}

}  // namespace

// Orders short strings by their byte keys and asks the collator about every neighbour pair:
// when each pair agrees (less, or equal exactly where the keys are), the whole order does.
// The base is every printable ASCII character alone and in pairs and every three lowercase
// letters; each other character is then tried alone, doubled and in pairs with ASCII
// characters against that base, and left out on its own if it disagrees; then all remaining
// characters alone and a few names. Returns false when ASCII texts disagree (contractions,
// digits compared as numbers), which leaves every text to the collator's keys.
bool SortKeyCache::Validate(const std::vector<unsigned char>& chars) {
  m_byteKeys = true;
  std::vector<unsigned char> ascii, other;
  for (unsigned char c : chars) (c < 0x80 ? ascii : other).push_back(c);
  std::string key;
  auto probe = [&](std::initializer_list<unsigned char> s) {
    std::uint32_t text = static_cast<std::uint32_t>(s.size()) << 24;
    int shift = 0;
    for (unsigned char c : s) {
      text |= static_cast<std::uint32_t>(c) << shift;
      shift += 8;
    }
    const std::string bytes(s.begin(), s.end());
    MakeByteKey(bytes, key);
    unsigned __int128 k = 0;
    for (size_t i = 0; i < 16; ++i)
      k = (k << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return Probe{k, text};
  };
  auto agrees = [&](const Probe& a, const Probe& b) {  // a's key <= b's key
    char x[3], y[3];
    const int c = CompareTexts(BytesOf(a.text, x), BytesOf(b.text, y));
    return a.key == b.key ? c == 0 : c < 0;
  };
  std::vector<Probe> base;
  base.reserve(ascii.size() + ascii.size() * ascii.size() + 26 * 26 * 26);
  for (unsigned char c : ascii) base.push_back(probe({c}));
  for (unsigned char a : ascii)
    for (unsigned char b : ascii) base.push_back(probe({a, b}));
  for (unsigned char a = 'a'; a <= 'z'; ++a)
    for (unsigned char b = 'a'; b <= 'z'; ++b)
      for (unsigned char c = 'a'; c <= 'z'; ++c) base.push_back(probe({a, b, c}));
  std::sort(base.begin(), base.end());
  for (size_t i = 1; i < base.size(); ++i)
    if (!agrees(base[i - 1], base[i])) return false;

  // Each other character on its own against the ASCII base, so one that fails (an expansion
  // such as a ligature) does not hide or blame another.
  const unsigned char partners[] = {'a', 'o', 'z', 'A', 'Z', '0', '9', ' ', '-', '.'};
  std::vector<Probe> mine;
  for (unsigned char c : other) {
    mine.clear();
    mine.push_back(probe({c}));
    mine.push_back(probe({c, c}));
    for (unsigned char p : partners) {
      mine.push_back(probe({c, p}));
      mine.push_back(probe({p, c}));
    }
    std::sort(mine.begin(), mine.end());
    bool ok = true;
    for (size_t i = 0; ok && i < mine.size(); ++i) {
      if (i > 0 && !agrees(mine[i - 1], mine[i])) ok = false;
      const auto at = std::lower_bound(base.begin(), base.end(), mine[i]);
      if (at != base.begin() && !agrees(*(at - 1), mine[i])) ok = false;
      if (ok && at != base.end() && !agrees(mine[i], *at)) ok = false;
    }
    if (!ok) m_weights[c] = {};
  }
  // Accents weighed from the end of the text (as in Canadian French): the byte keys weigh
  // them from the start, so no accented character keeps one.
  for (unsigned char accented : other) {
    const Weights& a = m_weights[accented];
    if (a.secondary <= 1) continue;
    unsigned char plain = 0;
    for (unsigned char c : chars)
      if (m_weights[c].primary == a.primary && m_weights[c].secondary < a.secondary) plain = c;
    if (!plain) continue;
    if (!agrees(probe({plain, accented}), probe({accented, plain})))
      for (unsigned char c : other)
        if (m_weights[c].secondary > 1) m_weights[c] = {};
    break;
  }
  // The remaining characters among themselves.
  std::vector<Probe> singles;
  for (unsigned char c : chars)
    if (m_weights[c].primary) singles.push_back(probe({c}));
  std::sort(singles.begin(), singles.end());
  for (size_t i = 1; i < singles.size(); ++i)
    if (!agrees(singles[i - 1], singles[i]))
      for (const Probe* p : {&singles[i - 1], &singles[i]})
        if ((p->text & 0xFF) >= 0x80) m_weights[p->text & 0xFF] = {};

  // Longer names, as whole strings.
  std::vector<std::pair<std::string, std::string>> samples;  // key, text
  for (const char* s : kSamples)
    if (MakeByteKey(s, key)) samples.emplace_back(key, s);
  std::sort(samples.begin(), samples.end());
  for (size_t i = 1; i < samples.size(); ++i) {
    const int c = CompareTexts(samples[i - 1].second, samples[i].second);
    if (samples[i - 1].first == samples[i].first ? c == 0 : c < 0) continue;
    bool plain = true;
    for (const std::string& text : {samples[i - 1].second, samples[i].second})
      for (char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80) {
          m_weights[static_cast<unsigned char>(ch)] = {};
          plain = false;
        }
    if (plain) return false;
  }
  return true;
}

void SortKeyCache::DeriveWeights() {
  m_derived = true;
  std::vector<unsigned char> chars;
  for (int c = 0x20; c < 0x7F; ++c) chars.push_back(static_cast<unsigned char>(c));
  for (int c = 0x80; c < 0x100; ++c)
    if (Cp1252ToUnicode(static_cast<unsigned char>(c)) >= 0xA0)
      chars.push_back(static_cast<unsigned char>(c));
  // Characters that weigh nothing (a soft hyphen; punctuation when it is ignored).
  for (size_t i = 0; i < chars.size();) {
    const QChar ac[2] = {QChar(u'a'), QChar(static_cast<char16_t>(Cp1252ToUnicode(chars[i])))};
    if (m_collation.Compare(QStringView(ac, 2), QStringView(ac, 1)) != 0) {
      ++i;
    } else if (chars[i] < 0x80) {
      return;
    } else {
      chars.erase(chars.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  m_byteKeys = AssignWeights(chars) && Validate(chars);
}

bool SortKeyCache::ByteKeyed(std::string_view text) {
  if (!m_derived) DeriveWeights();
  return MakeByteKey(text, m_scratch);
}

void SortKeyCache::Rehash(size_t slotCount) {
  m_slots.assign(slotCount, 0);
  const size_t mask = slotCount - 1;
  for (Id id = 0; id < m_entries.size(); ++id) {
    const std::uint64_t hash = HashText(TextOf(m_entries[id]));
    size_t i = hash & mask;
    while (m_slots[i]) i = (i + 1) & mask;
    m_slots[i] = (hash & kTagMask) | (id + 1);
  }
}

void SortKeyCache::Reserve(size_t texts) {
  size_t slotCount = 1024;
  while (slotCount < 2 * texts) slotCount *= 2;
  if (slotCount > m_slots.size()) Rehash(slotCount);
  if (texts > m_entries.capacity()) m_entries.reserve(std::max(texts, 2 * m_entries.capacity()));
}

SortKeyCache::Id SortKeyCache::Find(std::string_view text, std::uint64_t hash) {
  if (2 * (m_entries.size() + 1) > m_slots.size())
    Rehash(std::max<size_t>(1024, 2 * m_slots.size()));
  const size_t mask = m_slots.size() - 1;
  const std::uint64_t tag = hash & kTagMask;
  size_t i = hash & mask;
  for (; m_slots[i]; i = (i + 1) & mask) {
    if ((m_slots[i] & kTagMask) != tag) continue;
    const Id id = static_cast<Id>(m_slots[i] & ~kTagMask) - 1;
    const Entry& e = m_entries[id];
    if (e.textSize == text.size() &&
        std::memcmp(m_text.data() + e.text, text.data(), text.size()) == 0)
      return id;
  }
  const Id id = static_cast<Id>(m_entries.size());
  Entry e;
  e.text = static_cast<std::uint32_t>(m_text.size());
  e.textSize = static_cast<std::uint32_t>(text.size());
  m_text.append(text);
  if (MakeByteKey(text, m_scratch)) {
    e.key = static_cast<std::uint32_t>(m_keyBytes.size());
    e.keySize = static_cast<std::uint32_t>(m_scratch.size());
    e.head = Head(m_scratch);
    m_keyBytes.append(m_scratch);
  } else {
    e.key = static_cast<std::uint32_t>(m_icuKeys.size());
    m_icuKeys.push_back(m_collation.KeyOf(FromCp1252(text)));
  }
  m_entries.push_back(e);
  m_slots[i] = tag | (id + 1);
  m_new.push_back(id);
  return id;
}

SortKeyCache::Id SortKeyCache::Get(std::string_view text) {
  if (!m_derived) DeriveWeights();
  return Find(text, HashText(text));
}

SortKeyCache::Id SortKeyCache::Get(Field field, RowId row, std::string_view text) {
  std::vector<RowRef>& refs = m_rows[field];
  if (row >= refs.size())
    refs.resize(std::max<size_t>(static_cast<size_t>(row) + 1, 2 * refs.size()));
  RowRef& ref = refs[row];
  if (ref.text && ref.text == text.data() && ref.size == text.size()) return ref.entry;
  const Id id = Get(text);
  ref = {text.data(), static_cast<std::uint32_t>(text.size()), id};
  return id;
}

void SortKeyCache::GetRows(const AccountTable& table, Field field, const std::vector<RowId>& rows,
                           std::vector<Id>& ids) {
  if (!m_derived) DeriveWeights();
  ids.resize(rows.size());
  std::vector<RowRef>& refs = m_rows[field];
  const bool fresh = refs.empty();
  RowId last = 0;
  for (RowId r : rows) last = std::max(last, r);
  if (!rows.empty() && last >= refs.size()) refs.resize(static_cast<size_t>(last) + 1);
  // New texts are copied out while the row is at hand, so the second pass reads them in a row.
  struct Miss {
    std::uint64_t hash;
    std::uint32_t at, size;  // in staged
    size_t index;
    const char* where;
  };
  std::vector<Miss> misses;
  std::string staged;
  if (fresh) misses.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string_view text = table.Text(rows[i], field);
    const RowRef& ref = refs[rows[i]];
    if (ref.text && ref.text == text.data() && ref.size == text.size()) {
      ids[i] = ref.entry;
    } else {
      misses.push_back({HashText(text), static_cast<std::uint32_t>(staged.size()),
                        static_cast<std::uint32_t>(text.size()), i, text.data()});
      staged.append(text);
    }
  }
  Reserve(m_entries.size() + misses.size());
  if (fresh) {
    m_text.reserve(m_text.size() + staged.size());
    if (m_byteKeys) m_keyBytes.reserve(m_keyBytes.size() + 3 * staged.size() + 2 * misses.size());
  }
  // The table slots of new texts lie anywhere: ask for them a few texts ahead.
  const size_t mask = m_slots.size() - 1;
  for (size_t j = 0; j < misses.size(); ++j) {
    if (j + 16 < misses.size()) __builtin_prefetch(&m_slots[misses[j + 16].hash & mask]);
    const Miss& m = misses[j];
    const Id id = Find(std::string_view(staged.data() + m.at, m.size), m.hash);
    ids[m.index] = id;
    refs[rows[m.index]] = {m.where, m.size, id};
  }
}

bool SortKeyCache::ByteLess(Id a, Id b) const {
  const Entry& x = m_entries[a];
  const Entry& y = m_entries[b];
  if (x.head != y.head) return x.head < y.head;
  return std::string_view(m_keyBytes.data() + x.key, x.keySize) <
         std::string_view(m_keyBytes.data() + y.key, y.keySize);
}

// Byte keys among themselves, collator keys among themselves, the collator between the kinds:
// all three agree with the collator's order, so together they are one order.
int SortKeyCache::Compare(Id a, Id b) const {
  const Entry& x = m_entries[a];
  const Entry& y = m_entries[b];
  if (x.keySize && y.keySize) {
    if (x.head != y.head) return x.head < y.head ? -1 : 1;
    return std::string_view(m_keyBytes.data() + x.key, x.keySize)
        .compare(std::string_view(m_keyBytes.data() + y.key, y.keySize));
  }
  if (!x.keySize && !y.keySize) return m_icuKeys[x.key].compare(m_icuKeys[y.key]);
  return CompareTexts(TextOf(x), TextOf(y));
}

// Merges two sorted lists. A short list goes in by binary search, which keeps comparisons
// between the two kinds of key (each a call of the collator) few.
std::vector<SortKeyCache::Id> SortKeyCache::MergeSorted(const std::vector<Id>& a,
                                                        const std::vector<Id>& b) const {
  if (b.empty()) return a;
  if (a.empty()) return b;
  auto less = [this](Id x, Id y) { return Compare(x, y) < 0; };
  std::vector<Id> out;
  out.reserve(a.size() + b.size());
  size_t log = 1;
  while ((size_t{1} << log) < a.size()) ++log;
  if (b.size() * log < a.size() + b.size()) {
    auto pos = a.begin();
    for (Id id : b) {
      const auto it = std::upper_bound(pos, a.end(), id, less);
      out.insert(out.end(), pos, it);
      out.push_back(id);
      pos = it;
    }
    out.insert(out.end(), pos, a.end());
  } else {
    std::merge(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out), less);
  }
  return out;
}

void SortKeyCache::UpdateRanks() {
  if (m_new.empty()) return;
  // Byte keys sort by their first 12 bytes, which mostly settle it, before the rest.
  struct Head16 {
    std::uint64_t hi;
    std::uint32_t lo;
    Id id;
  };
  std::vector<Head16> bytes;
  std::vector<Id> icu;
  bytes.reserve(m_new.size());
  for (Id id : m_new) {
    const Entry& e = m_entries[id];
    if (!e.keySize) {
      icu.push_back(id);
      continue;
    }
    const std::string_view key(m_keyBytes.data() + e.key, e.keySize);
    bytes.push_back(
        {e.head, static_cast<std::uint32_t>(key.size() > 8 ? Head(key.substr(8)) >> 32 : 0), id});
  }
  m_new.clear();
  // Spread by the first byte (the first character's primary weight), then sort each part.
  auto less = [this](const Head16& x, const Head16& y) {
    if (x.hi != y.hi) return x.hi < y.hi;
    if (x.lo != y.lo) return x.lo < y.lo;
    return ByteLess(x.id, y.id);
  };
  {
    std::array<size_t, 257> start{};
    for (const Head16& h : bytes) ++start[(h.hi >> 56) + 1];
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<Head16> spread(bytes.size());
    std::array<size_t, 256> next;
    std::copy(start.begin(), start.end() - 1, next.begin());
    for (const Head16& h : bytes) spread[next[h.hi >> 56]++] = h;
    for (size_t b = 0; b < 256; ++b)
      std::sort(spread.begin() + static_cast<std::ptrdiff_t>(start[b]),
                spread.begin() + static_cast<std::ptrdiff_t>(start[b + 1]), less);
    bytes = std::move(spread);
  }
  std::sort(icu.begin(), icu.end(), [this](Id x, Id y) {
    return m_icuKeys[m_entries[x].key].compare(m_icuKeys[m_entries[y].key]) < 0;
  });
  std::vector<Id> byteIds(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) byteIds[i] = bytes[i].id;
  m_sorted = MergeSorted(m_sorted, MergeSorted(byteIds, icu));
  std::uint32_t rank = 0;
  for (size_t i = 0; i < m_sorted.size(); ++i) {
    if (i + 8 < m_sorted.size()) __builtin_prefetch(&m_entries[m_sorted[i + 8]]);
    if (i > 0 && Compare(m_sorted[i - 1], m_sorted[i]) != 0) ++rank;
    m_entries[m_sorted[i]].rank = rank;
  }
  m_rankCount = m_sorted.empty() ? 0 : rank + 1;
}

namespace {

// The table's rows in RowId order: that walks the rows where they lie in memory, and leaves
// rows with equal keys in the order they were added.
std::vector<RowId> RowsById(const AccountTable& table) {
  const std::vector<RowId>& order = table.Order();
  RowId last = 0;
  for (RowId r : order) last = std::max(last, r);
  std::vector<bool> present(order.empty() ? 0 : static_cast<size_t>(last) + 1);
  for (RowId r : order) present[r] = true;
  std::vector<RowId> rows;
  rows.reserve(order.size());
  for (size_t r = 0; r < present.size(); ++r)
    if (present[r]) rows.push_back(static_cast<RowId>(r));
  return rows;
}

// Texts of edited or deleted rows pile up; start afresh once they outnumber the rows.
void TrimKeys(const AccountTable& table, SortKeyCache& keys) {
  if (keys.Size() > 4 * static_cast<size_t>(table.RowCount()) + 1024) keys.Clear();
}

}  // namespace

void PrepareSortKeys(const AccountTable& table, Field field, SortKeyCache& keys) {
  if (FieldInfoOf(field).isInteger) return;
  TrimKeys(table, keys);
  std::vector<SortKeyCache::Id> ids;
  keys.GetRows(table, field, RowsById(table), ids);
  keys.UpdateRanks();
}

std::vector<RowId> SortedOrderByNumber(const AccountTable& table,
                                       const std::function<std::optional<std::int64_t>(RowId)>& key,
                                       bool descending) {
  const std::vector<RowId> rows = RowsById(table);
  struct Keyed {
    std::int64_t key;
    RowId row;
    bool operator<(const Keyed& o) const { return key != o.key ? key < o.key : row < o.row; }
  };
  std::vector<Keyed> keyed(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto v = key(rows[i]);
    keyed[i] = {v ? *v : std::numeric_limits<std::int64_t>::min(), rows[i]};
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<RowId> out(rows.size());
  for (size_t i = 0; i < keyed.size(); ++i) out[i] = keyed[i].row;
  if (descending) std::reverse(out.begin(), out.end());
  return out;
}

std::vector<RowId> SortedOrder(const AccountTable& table, Field field, bool descending,
                               SortKeyCache& keys) {
  TrimKeys(table, keys);
  if (FieldInfoOf(field).isInteger) {
    return SortedOrderByNumber(
        table,
        [&table, field](RowId row) -> std::optional<std::int64_t> {
          const auto v = table.Int(row, field);
          return v ? std::optional<std::int64_t>(*v) : std::nullopt;
        },
        descending);
  }
  const std::vector<RowId> rows = RowsById(table);
  std::vector<RowId> out(rows.size());
  std::vector<SortKeyCache::Id> ids;
  keys.GetRows(table, field, rows, ids);
  keys.UpdateRanks();
  // Ranks are small dense numbers: count them out, which keeps the RowId order of ties.
  std::vector<std::uint32_t> start(static_cast<size_t>(keys.RankCount()) + 1, 0);
  for (SortKeyCache::Id id : ids) ++start[keys.Rank(id) + 1];
  for (size_t r = 1; r < start.size(); ++r) start[r] += start[r - 1];
  for (size_t i = 0; i < rows.size(); ++i) out[start[keys.Rank(ids[i])]++] = rows[i];
  if (descending) std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace kov
