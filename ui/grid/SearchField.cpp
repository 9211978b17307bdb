#include "ui/grid/SearchField.h"

#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KOV_SEARCH_SSE2 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define KOV_SEARCH_AVX2 1
#endif

#include "store/LetterCase.h"
#include "ui/grid/FilterTabs.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Text1252.h"

namespace kov {

namespace {
const std::array<unsigned char, 256>& kFold = kCp1252Lower;

constexpr Field kSearched[] = {dbaccount, dbemail, dbchatname, dblastip, dbfirstip};
constexpr Field kNameFields[] = {dbaccount, dbemail, dbchatname};
constexpr Field kIpFields[] = {dblastip, dbfirstip};

// Marks the row that holds a match at a place of the index; one match per row is enough, so
// the scan goes on where the next row starts. Places only grow during a scan.
struct RowMarker {
  const std::uint32_t* start;  // by RowId, one past the end
  std::uint8_t* hit;
  RowId row = 0;
  size_t Mark(size_t pos) {
    while (start[row + 1] <= pos) ++row;
    hit[row] = 1;
    return start[row + 1];
  }
};

inline bool SameBytes(const char* a, const char* b, size_t n) {
  for (size_t k = 0; k < n; ++k)
    if (a[k] != b[k]) return false;
  return true;
}

#ifdef KOV_SEARCH_AVX2
// Thirty-two places at a time where the processor has AVX2; returns where it stopped.
__attribute__((target("avx2"))) size_t ScanAvx2(const char* h, size_t last, std::string_view needle,
                                                RowMarker& rows) {
  const size_t n = needle.size();
  const __m256i first = _mm256_set1_epi8(needle[0]);
  const __m256i lastByte = _mm256_set1_epi8(needle[n - 1]);
  const char* middle = needle.data() + 1;
  const size_t middleLen = n > 2 ? n - 2 : 0;
  size_t i = 0;
  while (i + 31 <= last) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + i + n - 1));
    auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, lastByte))));
    size_t next = i + 32;
    while (mask) {
      const size_t pos = i + static_cast<size_t>(__builtin_ctz(mask));
      if (SameBytes(h + pos + 1, middle, middleLen)) {
        next = rows.Mark(pos);
        break;
      }
      mask &= mask - 1;
    }
    i = next;
  }
  return i;
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif
}  // namespace

RowSearch::RowSearch(std::string_view needle, std::vector<Field> extra)
    : m_extra(std::move(extra)) {
  m_needle.reserve(needle.size());
  for (char c : needle) m_needle += static_cast<char>(kFold[static_cast<unsigned char>(c)]);
}

bool RowSearch::Contains(std::string_view text) const {
  const size_t n = m_needle.size();
  if (n == 0) return true;
  if (text.size() < n) return false;
  const auto* t = reinterpret_cast<const unsigned char*>(text.data());
  const auto* p = reinterpret_cast<const unsigned char*>(m_needle.data());
  const unsigned char first = p[0];
  const size_t last = text.size() - n;
  for (size_t i = 0; i <= last; ++i) {
    if (kFold[t[i]] != first) continue;
    size_t k = 1;
    while (k < n && kFold[t[i + k]] == p[k]) ++k;
    if (k == n) return true;
  }
  return false;
}

bool RowSearch::Matches(const AccountTable& table, RowId row) const {
  for (Field f : kSearched)
    if (Contains(table.Text(row, f))) return true;
  for (Field f : m_extra)
    if (Contains(table.Text(row, f))) return true;
  return false;
}

// --- index ----------------------------------------------------------------------------

SearchIndex::SearchIndex(AccountTable& table) : m_table(table) { m_table.AddListener(this); }

SearchIndex::~SearchIndex() { m_table.RemoveListener(this); }

void SearchIndex::AfterPost(RowId row) {
  ForgetAnswers();
  if (row < m_built && !m_stale[row]) {
    m_stale[row] = 1;
    ++m_staleCount;
  } else if (row >= m_built) {
    ++m_staleCount;  // a new row: judged from the table until the next build
  }
}

void SearchIndex::ViewReset() {
  // Any reset but the search's own: a tab, a sort, a reload.
  if (!m_applying) ForgetAnswers();
  if (m_table.RowCount() != 0) return;
  // Emptied: row ids start again.
  DropIndex();
}

void SearchIndex::DropIndex() {
  m_names = Part();
  m_ips = Part();
  m_extra = Part();
  m_stale = {};
  m_hit = {};
  m_built = 0;
  m_staleCount = 0;
}

void SearchIndex::Build() {
  RowId bound = 0;
  for (RowId r : m_table.Order()) bound = std::max(bound, r + 1);
  for (Part* part : {&m_names, &m_ips, &m_extra}) {
    part->bytes.clear();
    part->bytes.reserve(static_cast<size_t>(bound) * (part == &m_names ? 48 : 24));
    part->start.resize(static_cast<size_t>(bound) + 1);
    part->present.fill(false);
  }
  // One pass over the rows, in id order, which is the order of the file they came from.
  auto add = [this](Part& part, RowId r, std::span<const Field> fields) {
    part.start[r] = static_cast<std::uint32_t>(part.bytes.size());
    for (Field f : fields) {
      const std::string_view text = m_table.Text(r, f);
      const size_t at = part.bytes.size();
      part.bytes.resize(at + text.size() + 1);  // the 0 byte: no match runs into the next field
      auto* out = reinterpret_cast<unsigned char*>(part.bytes.data() + at);
      for (size_t k = 0; k < text.size(); ++k) {
        const unsigned char folded = kFold[static_cast<unsigned char>(text[k])];
        part.present[folded] = true;
        out[k] = folded;
      }
    }
  };
  for (RowId r = 0; r < bound; ++r) {
    add(m_names, r, kNameFields);
    add(m_ips, r, kIpFields);
    add(m_extra, r, m_extraFields);
    if (m_names.bytes.size() > 0xFFFF0000u || m_ips.bytes.size() > 0xFFFF0000u ||
        m_extra.bytes.size() > 0xFFFF0000u) {
      // Beyond 32-bit offsets: every row is judged from the table.
      m_names = Part();
      m_ips = Part();
      m_extra = Part();
      m_built = 0;
      return;
    }
  }
  m_names.start[bound] = static_cast<std::uint32_t>(m_names.bytes.size());
  m_ips.start[bound] = static_cast<std::uint32_t>(m_ips.bytes.size());
  m_extra.start[bound] = static_cast<std::uint32_t>(m_extra.bytes.size());
  m_stale.assign(bound, 0);
  m_built = bound;
  m_staleCount = 0;
}

bool SearchIndex::Part::MayHold(std::string_view needle) const {
  for (char c : needle)
    if (!present[static_cast<unsigned char>(c)]) return false;
  return true;
}

bool SearchIndex::SegmentContains(RowId row, std::string_view needle) const {
  for (const Part* part : {&m_names, &m_ips, &m_extra}) {
    const std::string_view segment(part->bytes.data() + part->start[row],
                                   part->start[row + 1] - part->start[row]);
    if (segment.find(needle) != std::string_view::npos) return true;
  }
  return false;
}

void SearchIndex::ScanAll(std::string_view needle) {
  m_hit.assign(m_built, 0);
  for (const Part* part : {&m_names, &m_ips, &m_extra})
    if (part->MayHold(needle)) part->Scan(needle, m_hit.data());
}

void SearchIndex::Part::Scan(std::string_view needle, std::uint8_t* hitRows) const {
  const size_t n = needle.size();
  const size_t size = bytes.size();
  if (n == 0 || n > size) return;
  const char* h = bytes.data();
  const size_t last = size - n;  // the last place a match can start
  RowMarker rows{start.data(), hitRows};
  auto hit = [&rows](size_t pos) { return rows.Mark(pos); };
  const char* rest = needle.data() + 1;
  const size_t restLen = n > 2 ? n - 2 : 0;
  size_t i = 0;
#ifdef KOV_SEARCH_AVX2
  if (HasAvx2()) i = ScanAvx2(h, last, needle, rows);
#endif
#ifdef KOV_SEARCH_SSE2
  // Sixteen places at a time: candidates are where both the first and the last byte fit.
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i lastByte = _mm_set1_epi8(needle[n - 1]);
  while (i + 15 <= last) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i + n - 1));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, lastByte))));
    size_t next = i + 16;
    while (mask) {
      const size_t pos = i + static_cast<size_t>(__builtin_ctz(mask));
      if (SameBytes(h + pos + 1, rest, restLen)) {
        next = hit(pos);
        break;
      }
      mask &= mask - 1;
    }
    i = next;
  }
#endif
  while (i <= last) {
    const void* p = std::memchr(h + i, needle[0], last - i + 1);
    if (!p) break;
    const size_t pos = static_cast<size_t>(static_cast<const char*>(p) - h);
    i = std::memcmp(h + pos + 1, needle.data() + 1, n - 1) == 0 ? hit(pos) : pos + 1;
  }
}

void SearchIndex::SetExtraFields(const std::vector<Field>& fields) {
  std::vector<Field> extra;
  for (Field f : fields)
    if (std::find(std::begin(kSearched), std::end(kSearched), f) == std::end(kSearched) &&
        std::find(extra.begin(), extra.end(), f) == extra.end())
      extra.push_back(f);
  if (extra == m_extraFields) return;
  m_extraFields = std::move(extra);
  ForgetAnswers();
  // Built again at the next search; until then every row is judged from the table.
  DropIndex();
}

void SearchIndex::Prepare() {
  if (m_built == 0 || m_staleCount > m_built / 16 + 64) Build();
}

void SearchIndex::Filter(const RowSearch& search, const RowId* rows, size_t n,
                         std::vector<RowId>& out) {
  if (!m_applying) {
    FilterAll(search, rows, n, out);
    return;
  }
  // The answer is the same whichever rows are offered: all the tab's rows, or (for a text
  // that narrows the last one) the rows shown, which hold every row it matches.
  const std::string& needle = search.Folded();
  for (const Answer& a : m_answers) {
    if (a.needle == needle) {
      out.insert(out.end(), a.rows.begin(), a.rows.end());
      return;
    }
  }
  const size_t first = out.size();
  FilterAll(search, rows, n, out);
  constexpr size_t kAnswers = 8;
  if (m_answers.size() == kAnswers) m_answers.erase(m_answers.begin());
  m_answers.push_back(
      {needle, std::vector<RowId>(out.begin() + static_cast<std::ptrdiff_t>(first), out.end())});
}

void SearchIndex::FilterAll(const RowSearch& search, const RowId* rows, size_t n,
                            std::vector<RowId>& out) {
  ++m_passes;
  const std::string& needle = search.Folded();
  // A zero byte is the index's field separator (no field holds one).
  if (needle.empty() || needle.find('\0') != std::string::npos) {
    for (size_t i = 0; i < n; ++i)
      if (search.Matches(m_table, rows[i])) out.push_back(rows[i]);
    return;
  }
  Prepare();
  // Many rows: one pass over the whole index; few (a narrow tab, a narrowing search): each
  // row's own bytes.
  const bool scan = m_built > 0 && n >= m_built / 8;
  if (scan) ScanAll(needle);
  for (size_t i = 0; i < n; ++i) {
    const RowId r = rows[i];
    bool match;
    if (!Indexed(r))
      match = search.Matches(m_table, r);
    else
      match = scan ? m_hit[r] != 0 : SegmentContains(r, needle);
    if (match) out.push_back(r);
  }
}

SearchField::SearchField(FilterTabs& tabs, QWidget* parent)
    : QLineEdit(parent), m_tabs(tabs), m_index(std::make_shared<SearchIndex>(tabs.Table())) {
  setObjectName(QStringLiteral("SearchField"));
  setClearButtonEnabled(true);
  m_pause = new QTimer(this);
  m_pause->setSingleShot(true);
  m_pause->setInterval(kPauseMilliseconds);
  connect(m_pause, &QTimer::timeout, this, &SearchField::ApplyNow);
  connect(this, &QLineEdit::textEdited, m_pause, qOverload<>(&QTimer::start));
  // The clear button changes the text without an edit.
  connect(this, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (t.isEmpty() && !m_applied.isEmpty()) ApplyNow();
  });
  connect(this, &QLineEdit::returnPressed, this, &SearchField::ApplyNow);
  // Answers found under another tab are not this tab's.
  connect(&m_tabs, &FilterTabs::FilterChanged, this, [this] { m_index->FilterChanged(); });
  // The filter reset clears the search with the tabs; the reset itself rebuilds the view.
  connect(&m_tabs, &FilterTabs::FilterWasReset, this, [this] {
    m_index->ForgetAnswers();
    m_pause->stop();
    m_tabs.SetExtraFilter({});
    m_applied.clear();
    m_appliedBytes.clear();
    const QSignalBlocker block(this);
    clear();
  });
  ApplyUiText();
}

void SearchField::ApplyNow() {
  m_pause->stop();
  const QString typed = text();
  if (typed == m_applied) return;
  m_applied = typed;
  bool narrowing = false;
  if (typed.isEmpty()) {
    m_tabs.SetExtraFilter({});
    m_appliedBytes.clear();
  } else {
    // A character without a Windows-1252 byte occurs in no account: nothing matches.
    const std::optional<std::string> bytes = ToCp1252(typed);
    if (!bytes) {
      m_tabs.SetExtraFilter([](const AccountTable&, RowId) { return false; });
      m_appliedBytes.clear();
    } else {
      auto search = std::make_shared<RowSearch>(*bytes, m_index->ExtraFields());
      // A text that holds the last one matches only rows the last one matched.
      narrowing =
          !m_appliedBytes.empty() && search->Folded().find(m_appliedBytes) != std::string::npos;
      m_appliedBytes = search->Folded();
      m_tabs.SetExtraFilter(
          [search](const AccountTable& t, RowId row) { return search->Matches(t, row); },
          [search, index = m_index](const AccountTable&, const RowId* rows, size_t n,
                                    std::vector<RowId>& out) {
            index->Filter(*search, rows, n, out);
          });
    }
  }
  const SearchIndex::Applying applying(*m_index);
  m_tabs.ApplyExtraFilter(narrowing);
}

void SearchField::SetExtraFields(const std::vector<Field>& fields) {
  const std::vector<Field> before = m_index->ExtraFields();
  m_index->SetExtraFields(fields);
  if (m_index->ExtraFields() == before || m_applied.isEmpty()) return;
  // The rows shown answered the old fields: filter the tab's rows afresh.
  m_applied.clear();
  m_appliedBytes.clear();
  ApplyNow();
}

void SearchField::ApplyUiText() { setPlaceholderText(Ui("ext_Search_Hint")); }

void SearchField::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (m_tabs.Table().RowCount() > 0) m_index->Prepare();
}

void SearchField::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
    clear();
    ApplyNow();
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace kov
