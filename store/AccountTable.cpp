#include "store/AccountTable.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "store/MemoryAdvice.h"
#include "store/NameHash.h"

namespace kov {

namespace {

constexpr size_t kArenaBlock = 64 * 1024;

// A scan of the hashes reads 4 bytes per row (0.06 ms at a million rows); building the
// index writes each row into a table of twice as many slots at a random place, which costs
// as much as 400 to 700 scans. Building it after 128 scans keeps an update file of any
// length within twice the cost of the better choice, and a short one never pays for it.
constexpr int kScansBeforeIndex = 128;

}  // namespace

const char* const kPLevelNames[8] = {"Guest", "Player", "Counselor", "Seer",
                                     "GM",    "Dev",    "Admin",     "Owner"};

int FieldByName(std::string_view name) {
  for (int i = 0; i < kFieldCount; ++i)
    if (name == kFieldInfos[i].name) return i;
  return -1;
}

std::string_view PLevelCodeToName(std::string_view text) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '7') return kPLevelNames[text[0] - '0'];
  return text;
}

int AccountTable::TextSlot(Field f) { return kFieldInfos[f].isInteger ? -1 : SlotOf(f); }
int AccountTable::IntSlot(Field f) { return kFieldInfos[f].isInteger ? SlotOf(f) : -1; }

AccountTable::AccountTable() = default;
AccountTable::~AccountTable() = default;

void AccountTable::AddListener(Listener* l) { m_listeners.push_back(l); }
void AccountTable::RemoveListener(Listener* l) {
  m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), l), m_listeners.end());
}

// --- values ---------------------------------------------------------------------------

std::string_view AccountTable::Text(RowId row, Field f) const {
  if (row == kNoRow || row >= m_rows.size()) return {};
  const int slot = TextSlot(f);
  if (slot < 0) return {};
  const TextRef& t = m_rows[row].text[slot];
  if (t.len == 0) return {};
  return {m_bufferBase[t.buf] + t.off, t.len};
}

std::optional<std::int32_t> AccountTable::Int(RowId row, Field f) const {
  if (row == kNoRow || row >= m_rows.size()) return std::nullopt;
  const int slot = IntSlot(f);
  if (slot < 0) return std::nullopt;
  const Row& r = m_rows[row];
  if (r.nullMask & (1u << slot)) return std::nullopt;
  return r.ints[slot];
}

std::string AccountTable::DisplayText(RowId row, Field f) const {
  if (kFieldInfos[f].isInteger) {
    auto v = Int(row, f);
    return v ? std::to_string(*v) : std::string();
  }
  return std::string(Text(row, f));
}

int AccountTable::CharacterCount(RowId row) const {
  int n = 0;
  for (Field f : {dbcharuid1, dbcharuid2, dbcharuid3, dbcharuid4, dbcharuid5})
    if (!Text(row, f).empty()) ++n;
  return n;
}

// --- storage --------------------------------------------------------------------------

std::uint16_t AccountTable::AddBuffer(std::unique_ptr<char[]> bytes, size_t size) {
  const auto index = static_cast<std::uint16_t>(m_buffers.size());
  m_bufferBase.push_back(bytes.get());
  m_bufferSize.push_back(size);
  m_buffers.push_back(std::move(bytes));
  m_bufferBytes += size;
  return index;
}

const char* AccountTable::AdoptBuffer(std::unique_ptr<char[]> bytes, size_t size) {
  const char* p = bytes.get();
  m_lastAdopted = AddBuffer(std::move(bytes), size);
  m_lastAdoptedBase = p;
  m_adopted.push_back(m_lastAdopted);
  return p;
}

AccountTable::TextRef AccountTable::Copy(std::string_view s) {
  if (s.empty()) return {};
  if (s.size() > m_arenaLeft || m_buffers.empty()) {
    const size_t size = std::max(kArenaBlock, s.size());
    m_arenaBuf = AddBuffer(std::make_unique<char[]>(size), size);
    m_arenaUsed = 0;
    m_arenaLeft = size;
  }
  char* p = m_buffers[m_arenaBuf].get() + m_arenaUsed;
  std::memcpy(p, s.data(), s.size());
  TextRef ref{static_cast<std::uint32_t>(m_arenaUsed), m_arenaBuf,
              static_cast<std::uint16_t>(s.size())};
  m_arenaUsed += s.size();
  m_arenaLeft -= s.size();
  return ref;
}

AccountTable::TextRef AccountTable::RefInBuffers(std::string_view s) {
  if (s.empty()) return {};
  const char* p = s.data();
  if (!m_adopted.empty()) {  // the file being read, almost always
    const std::uint16_t last = m_adopted.back();
    const char* base = m_bufferBase[last];
    if (p >= base && p + s.size() <= base + m_bufferSize[last])
      return {static_cast<std::uint32_t>(p - base), last, static_cast<std::uint16_t>(s.size())};
  }
  for (auto it = m_adopted.rbegin(); it != m_adopted.rend(); ++it) {
    const char* base = m_bufferBase[*it];
    if (p >= base && p + s.size() <= base + m_bufferSize[*it])
      return {static_cast<std::uint32_t>(p - base), *it, static_cast<std::uint16_t>(s.size())};
  }
  // A constant text (a level name, a default): copied once, shared by every row.
  for (const auto& [cp, ref] : m_constants)
    if (cp == p && ref.len == s.size()) return ref;
  const TextRef ref = Copy(s);
  m_constants.emplace_back(p, ref);
  return ref;
}

size_t AccountTable::MemoryUsage() const {
  return m_rows.capacity() * sizeof(Row) + m_order.capacity() * sizeof(RowId) +
         m_view.capacity() * sizeof(RowId) + m_viewPos.capacity() * sizeof(std::int32_t) +
         m_nameHash.capacity() * sizeof(std::uint32_t) + m_nameSlots.capacity() * sizeof(RowId) +
         m_bufferBytes;
}

void AccountTable::Empty() {
  for (auto* l : m_listeners) l->ViewAboutToReset();
  m_rows.clear();
  m_order.clear();
  m_view.clear();
  m_viewPos.clear();
  m_nameHash.clear();
  m_nameSlots.clear();
  m_nameSlotsUsed = 0;
  m_scans = 0;
  m_buffers.clear();
  m_bufferBase.clear();
  m_bufferSize.clear();
  m_adopted.clear();
  m_lastAdopted = 0;
  m_lastAdoptedBase = nullptr;
  m_constants.clear();
  m_arenaBuf = 0;
  m_arenaUsed = 0;
  m_arenaLeft = 0;
  m_bufferBytes = 0;
  m_current = kNoRow;
  m_eof = true;
  m_state = State::Browse;
  for (auto* l : m_listeners) l->ViewReset();
  NotifyCurrent();
}

void AccountTable::ReserveRows(size_t rows) {
  const size_t n = m_rows.size() + rows;
  if (n > m_rows.capacity()) {
    std::vector<Row> rows;
    rows.reserve(n);
    AdviseHugePages(rows.data(), n * sizeof(Row));
    rows.insert(rows.end(), m_rows.begin(), m_rows.end());
    m_rows.swap(rows);
  }
  m_order.reserve(n);
  m_view.reserve(n);
  m_viewPos.reserve(n);
  if (n > m_nameHash.capacity()) {
    std::vector<std::uint32_t> hashes;
    hashes.reserve(n);
    AdviseHugePages(hashes.data(), n * sizeof(std::uint32_t));
    hashes.insert(hashes.end(), m_nameHash.begin(), m_nameHash.end());
    m_nameHash.swap(hashes);
  }
}

// --- view -----------------------------------------------------------------------------

int AccountTable::ViewIndexOf(RowId row) const {
  if (row == kNoRow || row >= m_viewPos.size()) return -1;
  return m_viewPos[row];
}

bool AccountTable::Accepts(RowId row) const {
  return !m_filtered || !m_filter || m_filter(*this, row);
}

void AccountTable::RebuildView() { FillView(m_order); }

void AccountTable::FillView(const std::vector<RowId>& candidates) {
  FilterInto(candidates);
  SwapInView();
}

void AccountTable::FilterInto(const std::vector<RowId>& candidates) {
  std::vector<RowId>& next = m_viewSpare;
  next.clear();
  next.reserve(m_order.size());
  const bool pending = m_current != kNoRow && m_state != State::Browse;
  if (!m_filtered || !m_filter) {
    next.assign(candidates.begin(), candidates.end());
  } else if (m_bulkFilter && !pending) {
    m_bulkFilter(*this, candidates.data(), candidates.size(), next);
  } else {
    for (RowId r : candidates) {
      // A row being inserted or edited stays visible until it is posted.
      if (Accepts(r) || (pending && r == m_current)) next.push_back(r);
    }
  }
}

void AccountTable::SwapInView() {
  m_view.swap(m_viewSpare);
  std::fill(m_viewPos.begin(), m_viewPos.end(), -1);
  for (size_t i = 0; i < m_view.size(); ++i) m_viewPos[m_view[i]] = static_cast<std::int32_t>(i);
}

void AccountTable::RemoveFromView(int index) {
  const bool quiet = m_updating > 0;
  if (!quiet)
    for (auto* l : m_listeners) l->ViewRowsAboutToBeRemoved(index, index);
  m_viewPos[m_view[static_cast<size_t>(index)]] = -1;
  m_view.erase(m_view.begin() + index);
  for (size_t i = static_cast<size_t>(index); i < m_view.size(); ++i)
    m_viewPos[m_view[i]] = static_cast<std::int32_t>(i);
  if (!quiet)
    for (auto* l : m_listeners) l->ViewRowsRemoved();
}

void AccountTable::InsertIntoView(RowId row) {
  // Keep the view in table order: find the first view row standing after `row`.
  size_t pos = m_view.size();
  if (!m_view.empty() && m_order.back() != row) {
    auto it = std::find(m_order.begin(), m_order.end(), row);
    for (++it; it != m_order.end(); ++it) {
      if (m_viewPos[*it] >= 0) {
        pos = static_cast<size_t>(m_viewPos[*it]);
        break;
      }
    }
  }
  const bool quiet = m_updating > 0;
  const int index = static_cast<int>(pos);
  if (!quiet)
    for (auto* l : m_listeners) l->ViewRowsAboutToBeInserted(index, index);
  m_view.insert(m_view.begin() + index, row);
  for (size_t i = pos; i < m_view.size(); ++i) m_viewPos[m_view[i]] = static_cast<std::int32_t>(i);
  if (!quiet)
    for (auto* l : m_listeners) l->ViewRowsInserted();
}

void AccountTable::NotifyRowChanged(RowId row) {
  if (m_updating > 0) return;
  const int index = ViewIndexOf(row);
  if (index < 0) return;
  for (auto* l : m_listeners) l->ViewRowChanged(index);
}

void AccountTable::NotifyCurrent() {
  if (m_updating > 0) return;
  for (auto* l : m_listeners) l->CurrentChanged();
}

void AccountTable::SetFilter(Predicate p) {
  m_filter = std::move(p);
  m_bulkFilter = {};  // it stood for the old predicate
}
void AccountTable::SetBulkFilter(BulkPredicate p) { m_bulkFilter = std::move(p); }

void AccountTable::SetFiltered(bool on) {
  CheckBrowse();
  m_filtered = on;
  Refilter();
}

void AccountTable::Refilter() { RefilterFrom(m_order); }

void AccountTable::RefilterNarrowing() {
  if (!m_filtered) {
    Refilter();
    return;
  }
  RefilterFrom(m_view);  // read before the swap
}

void AccountTable::RefilterFrom(const std::vector<RowId>& candidates) {
  CheckBrowse();
  const bool quiet = m_updating > 0;
  FilterInto(candidates);
  // The same rows in the same order (a search typed further that still finds the same
  // accounts): the view, and everything that shows it, stays as it is.
  if (!quiet && m_viewSpare == m_view) return;
  if (!quiet)
    for (auto* l : m_listeners) l->ViewAboutToReset();
  SwapInView();
  AfterRefilter(quiet);
}

void AccountTable::AfterRefilter(bool quiet) {
  if (m_current != kNoRow && ViewIndexOf(m_current) < 0) m_current = kNoRow;
  if (m_current == kNoRow && !m_view.empty()) m_current = m_view.front();
  m_eof = m_view.empty();
  if (!quiet)
    for (auto* l : m_listeners) l->ViewReset();
  NotifyCurrent();
}

// --- cursor ---------------------------------------------------------------------------

void AccountTable::SetCurrentIndex(int index) {
  CheckBrowse();
  if (index < 0 || index >= ViewCount()) return;
  const RowId r = m_view[static_cast<size_t>(index)];
  m_eof = false;
  if (r == m_current) return;
  m_current = r;
  NotifyCurrent();
}

void AccountTable::SetCurrent(RowId row) {
  const int index = ViewIndexOf(row);
  if (index >= 0) SetCurrentIndex(index);
}

void AccountTable::First() {
  CheckBrowse();
  m_eof = m_view.empty();
  if (m_eof) return;
  if (m_current != m_view.front()) {
    m_current = m_view.front();
    NotifyCurrent();
  }
}

void AccountTable::Next() {
  CheckBrowse();
  const int index = CurrentIndex();
  if (index < 0 || index + 1 >= ViewCount()) {
    m_eof = true;
    return;
  }
  m_current = m_view[static_cast<size_t>(index + 1)];
  NotifyCurrent();
}

void AccountTable::Last() {
  CheckBrowse();
  if (m_view.empty()) {
    m_eof = true;
    return;
  }
  m_eof = false;
  if (m_current != m_view.back()) {
    m_current = m_view.back();
    NotifyCurrent();
  }
}

// --- editing --------------------------------------------------------------------------

void AccountTable::CheckBrowse() {
  if (m_state != State::Browse) Post();
}

void AccountTable::EnsureEditing() {
  if (m_state == State::Browse) Edit();
}

void AccountTable::Append() {
  CheckBrowse();
  const RowId id = static_cast<RowId>(m_rows.size());
  m_rows.emplace_back();
  m_viewPos.push_back(-1);
  m_nameHash.push_back(0);  // no name until dbaccount is set
  m_order.push_back(id);
  m_current = id;
  m_eof = false;
  m_state = State::Insert;
  InsertIntoView(id);
  NotifyCurrent();
}

void AccountTable::Edit() {
  if (m_current == kNoRow || m_state != State::Browse) return;
  m_state = State::Edit;
}

void AccountTable::SetTextRef(Field f, TextRef stored) {
  if (TextSlot(f) < 0 || m_current == kNoRow) return;
  EnsureEditing();
  StoreTextRef(m_current, f, stored);
  NotifyRowChanged(m_current);
}

void AccountTable::StoreTextRef(RowId row, Field f, TextRef stored) {
  m_rows[row].text[TextSlot(f)] = stored;
  if (f == dbaccount) {
    const std::uint32_t hash = stored.len > 0 ? detail::NameHash(Text(row, dbaccount)) : 0;
    // The same hash (an update section naming its row again): the entry stands.
    if (hash != m_nameHash[row]) {
      m_nameHash[row] = hash;
      if (hash != 0 && !m_nameSlots.empty()) IndexAdd(row);
    }
  }
}

void AccountTable::SetText(Field f, std::string_view value) {
  if (TextSlot(f) < 0) return;
  const size_t cap = static_cast<size_t>(kFieldInfos[f].capacity);
  if (value.size() > cap) value = value.substr(0, cap);
  if (Text(m_current, f) == value) {  // no copy for an unchanged value
    EnsureEditing();
    return;
  }
  SetTextRef(f, Copy(value));
}

void AccountTable::SetTextNoCopy(Field f, std::string_view value) {
  const size_t cap = static_cast<size_t>(kFieldInfos[f].capacity);
  if (value.size() > cap) value = value.substr(0, cap);
  SetTextRef(f, RefInBuffers(value));
}

void AccountTable::SetInt(Field f, std::int32_t value) {
  const int slot = IntSlot(f);
  if (slot < 0 || m_current == kNoRow) return;
  EnsureEditing();
  Row& r = m_rows[m_current];
  r.ints[slot] = value;
  r.nullMask &= static_cast<std::uint8_t>(~(1u << slot));
  NotifyRowChanged(m_current);
}

void AccountTable::SetNull(Field f) {
  const int slot = IntSlot(f);
  if (slot >= 0 && m_current != kNoRow) {
    EnsureEditing();
    m_rows[m_current].nullMask |= static_cast<std::uint8_t>(1u << slot);
    m_rows[m_current].ints[slot] = 0;
    NotifyRowChanged(m_current);
  } else if (TextSlot(f) >= 0) {
    SetTextRef(f, TextRef{});
  }
}

void AccountTable::Post() {
  if (m_state == State::Browse || m_current == kNoRow) return;
  m_state = State::Browse;
  const RowId row = m_current;
  m_rows[row].written = false;
  for (auto* l : m_listeners) l->AfterPost(row);
  if (m_current != row) return;  // a listener moved on
  const int index = ViewIndexOf(row);
  if (index >= 0 && !Accepts(row)) {
    RemoveFromView(index);
    if (m_view.empty()) {
      m_current = kNoRow;
      m_eof = true;
    } else {
      m_current = m_view[static_cast<size_t>(std::min(index, ViewCount() - 1))];
    }
    NotifyCurrent();
  } else if (index < 0 && Accepts(row)) {
    InsertIntoView(row);
  }
}

void AccountTable::Delete() {
  if (m_current == kNoRow) return;
  m_state = State::Browse;
  const RowId row = m_current;
  const int index = ViewIndexOf(row);
  if (index >= 0) RemoveFromView(index);
  m_order.erase(std::find(m_order.begin(), m_order.end(), row));
  Row& r = m_rows[row];
  r.alive = false;
  r.marked = false;
  m_nameHash[row] = 0;
  if (m_view.empty()) {
    m_current = kNoRow;
    m_eof = true;
  } else {
    m_current = m_view[static_cast<size_t>(std::min(std::max(index, 0), ViewCount() - 1))];
  }
  NotifyCurrent();
}

// --- many rows ------------------------------------------------------------------------

void AccountTable::SetRowText(RowId row, Field f, std::string_view value) {
  if (TextSlot(f) < 0 || row >= m_rows.size() || !m_rows[row].alive) return;
  const size_t cap = static_cast<size_t>(kFieldInfos[f].capacity);
  if (value.size() > cap) value = value.substr(0, cap);
  if (Text(row, f) == value) return;
  StoreTextRef(row, f, Copy(value));
}

void AccountTable::SetRowInt(RowId row, Field f, std::int32_t value) {
  const int slot = IntSlot(f);
  if (slot < 0 || row >= m_rows.size() || !m_rows[row].alive) return;
  Row& r = m_rows[row];
  r.ints[slot] = value;
  r.nullMask &= static_cast<std::uint8_t>(~(1u << slot));
}

void AccountTable::SetRowNull(RowId row, Field f) {
  if (row >= m_rows.size() || !m_rows[row].alive) return;
  if (const int slot = IntSlot(f); slot >= 0) {
    m_rows[row].nullMask |= static_cast<std::uint8_t>(1u << slot);
    m_rows[row].ints[slot] = 0;
  } else if (TextSlot(f) >= 0) {
    StoreTextRef(row, f, TextRef{});
  }
}

void AccountTable::PostRows(const std::vector<RowId>& rows) {
  CheckBrowse();
  if (rows.empty()) return;
  for (RowId row : rows) {
    m_rows[row].written = false;
    for (auto* l : m_listeners) l->AfterPost(row);
  }
  if (m_updating > 0) {
    RefilterFrom(m_order);  // quietly; EndUpdate announces the reset
    return;
  }
  if (m_filtered && m_filter) {
    FilterInto(m_order);
    if (m_viewSpare != m_view) {
      for (auto* l : m_listeners) l->ViewAboutToReset();
      SwapInView();
      AfterRefilter(false);
      return;
    }
  }
  int first = ViewCount(), last = -1;
  for (RowId row : rows) {
    const int index = ViewIndexOf(row);
    if (index < 0) continue;
    first = std::min(first, index);
    last = std::max(last, index);
  }
  if (last >= 0)
    for (auto* l : m_listeners) l->ViewRowsChanged(first, last);
}

// --- locate ---------------------------------------------------------------------------

template <typename Visit>
void AccountTable::ForEachHashed(std::uint32_t hash, Visit&& visit) const {
  const std::uint32_t* hashes = m_nameHash.data();
  if (!m_nameSlots.empty()) {
    const size_t mask = m_nameSlots.size() - 1;
    for (size_t i = hash & mask; m_nameSlots[i] != kNoRow; i = (i + 1) & mask)
      if (hashes[m_nameSlots[i]] == hash) visit(m_nameSlots[i]);
    return;
  }
  const size_t n = m_nameHash.size();
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i want = _mm_set1_epi32(static_cast<int>(hash));
  for (; i + 16 <= n; i += 16) {
    const auto* v = reinterpret_cast<const __m128i*>(hashes + i);
    const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(_mm_loadu_si128(v), want),
                                                _mm_cmpeq_epi32(_mm_loadu_si128(v + 1), want)),
                                   _mm_or_si128(_mm_cmpeq_epi32(_mm_loadu_si128(v + 2), want),
                                                _mm_cmpeq_epi32(_mm_loadu_si128(v + 3), want)));
    if (_mm_movemask_epi8(m) == 0) continue;
    for (size_t k = i; k < i + 16; ++k)
      if (hashes[k] == hash) visit(static_cast<RowId>(k));
  }
#endif
  for (; i < n; ++i)
    if (hashes[i] == hash) visit(static_cast<RowId>(i));
}

void AccountTable::IndexAdd(RowId row) {
  if ((m_nameSlotsUsed + 1) * 4 > m_nameSlots.size() * 3) {
    BuildIndex(m_rows.size());  // holds `row` too
    return;
  }
  const size_t mask = m_nameSlots.size() - 1;
  size_t i = m_nameHash[row] & mask;
  while (m_nameSlots[i] != kNoRow) i = (i + 1) & mask;
  m_nameSlots[i] = row;
  ++m_nameSlotsUsed;
}

void AccountTable::BuildIndex(size_t rows) {
  // At most half full when built, so new and renamed rows fill it a while before the next.
  const size_t size = std::bit_ceil(rows * 2 + 64);
  std::vector<RowId>().swap(m_nameSlots);
  m_nameSlots.reserve(size);
  AdviseHugePages(m_nameSlots.data(), size * sizeof(RowId));
  m_nameSlots.assign(size, kNoRow);
  m_nameSlotsUsed = 0;
  const size_t mask = size - 1;
  const std::uint32_t* hashes = m_nameHash.data();
  for (size_t r = 0; r < m_nameHash.size(); ++r) {
    if (hashes[r] == 0) continue;
    size_t i = hashes[r] & mask;
    while (m_nameSlots[i] != kNoRow) i = (i + 1) & mask;
    m_nameSlots[i] = static_cast<RowId>(r);
    ++m_nameSlotsUsed;
  }
}

bool AccountTable::Locate(std::string_view name) {
  CheckBrowse();
  if (name.empty() || m_view.empty()) return false;
  if (m_current != kNoRow && ViewIndexOf(m_current) >= 0 && Text(m_current, dbaccount) == name)
    return true;
  if (m_nameSlots.empty() && ++m_scans > kScansBeforeIndex) BuildIndex(m_rows.size());
  RowId best = kNoRow;
  std::int32_t bestPos = -1;
  ForEachHashed(detail::NameHash(name), [&](RowId r) {
    const std::int32_t pos = m_viewPos[r];
    if (pos >= 0 && (bestPos < 0 || pos < bestPos) && Text(r, dbaccount) == name) {
      bestPos = pos;
      best = r;
    }
  });
  if (best == kNoRow) return false;
  m_eof = false;
  if (best != m_current) {
    m_current = best;
    NotifyCurrent();
  }
  return true;
}

// --- sort -----------------------------------------------------------------------------

void AccountTable::Sort(const Less& less) {
  CheckBrowse();
  std::vector<RowId> order = m_order;
  std::stable_sort(order.begin(), order.end(), less);
  SetOrder(std::move(order));
}

void AccountTable::SetOrder(std::vector<RowId> order) {
  CheckBrowse();
  m_order = std::move(order);
  const bool quiet = m_updating > 0;
  if (!quiet)
    for (auto* l : m_listeners) l->ViewAboutToReset();
  RebuildView();
  if (!quiet)
    for (auto* l : m_listeners) l->ViewReset();
  NotifyCurrent();
}

// --- marks ----------------------------------------------------------------------------

void AccountTable::SetWritten(RowId row, bool on) {
  if (row < m_rows.size()) m_rows[row].written = on;
}
bool AccountTable::IsWritten(RowId row) const { return row < m_rows.size() && m_rows[row].written; }

void AccountTable::SetMarked(RowId row, bool on) {
  if (row < m_rows.size()) m_rows[row].marked = on;
}
bool AccountTable::IsMarked(RowId row) const { return row < m_rows.size() && m_rows[row].marked; }
void AccountTable::ClearMarks() {
  for (Row& r : m_rows) r.marked = false;
}
std::vector<RowId> AccountTable::MarkedRows() const {
  std::vector<RowId> out;
  for (RowId r : m_view)
    if (m_rows[r].marked) out.push_back(r);
  return out;
}

// --- bulk -----------------------------------------------------------------------------

void AccountTable::BeginUpdate() {
  if (m_updating++ > 0) return;
  // Announced before any change, so a view never asks for rows that are being replaced.
  for (auto* l : m_listeners) l->ViewAboutToReset();
}

void AccountTable::EndUpdate() {
  if (m_updating == 0 || --m_updating > 0) return;
  for (auto* l : m_listeners) l->ViewReset();
  NotifyCurrent();
}

}  // namespace kov
