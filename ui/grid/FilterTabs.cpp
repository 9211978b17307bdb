#include "ui/grid/FilterTabs.h"

#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/grid/CachedTabBar.h"
#include "ui/settings/UiText.h"

namespace kov {

namespace {
QTabBar* MakeTabBar(const char* name, QWidget* parent) {
  auto* bar = new CachedTabBar(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setShape(QTabBar::RoundedNorth);
  bar->setDocumentMode(true);
  bar->setDrawBase(false);
  bar->setExpanding(false);
  bar->setUsesScrollButtons(true);
  bar->setCursor(Qt::PointingHandCursor);
  bar->setFocusPolicy(Qt::NoFocus);
  return bar;
}
}  // namespace

FilterTabs::FilterTabs(AccountTable& table, QWidget* parent) : QWidget(parent), m_table(table) {
  setObjectName(QStringLiteral("FilterTabs"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_filterTabBar = MakeTabBar("TabControl1", this);
  // Texts come with ApplyUiText.
  for (int i = 0; i < 8; ++i) m_filterTabBar->addTab(QString());
  m_charCountTabBar = MakeTabBar("TabControl2", this);
  for (int i = 0; i <= 5; ++i) m_charCountTabBar->addTab(QString());
  m_charCountTabBar->hide();
  layout->addWidget(m_filterTabBar);
  layout->addWidget(m_charCountTabBar);
  // currentChanged also fires for programmatic changes; those run under a signal blocker.
  connect(m_filterTabBar, &QTabBar::currentChanged, this, [this] { TabChange(); });
  connect(m_charCountTabBar, &QTabBar::currentChanged, this, [this] { TabChange(); });
  m_table.AddListener(this);
  m_table.SetFilter([this](const AccountTable& t, RowId row) {
    return AcceptsRow(t, row) && (!m_extra || m_extra(t, row));
  });
  m_table.SetBulkFilter([this](const AccountTable& t, const RowId* rows, size_t n,
                               std::vector<RowId>& out) { FilterRows(t, rows, n, out); });
  ApplyUiText();
}

FilterTabs::~FilterTabs() { m_table.RemoveListener(this); }

std::uint16_t FilterTabs::ClassOf(const AccountTable& table, RowId row) const {
  if (row < m_class.size() && (m_class[row] & kTabKnown)) return m_class[row];
  return ComputeClass(table, row);
}

std::uint16_t FilterTabs::ComputeClass(const AccountTable& table, RowId row) const {
  if (row >= m_class.size()) m_class.resize(static_cast<size_t>(row) + 1024, 0);
  return m_class[row] = TabClassOf(table, row);
}

// Every change of a row ends in a store (new rows and loaded rows included), and a stored
// row is judged only after this, so the class is never stale when read.
void FilterTabs::AfterPost(RowId row) {
  if (row < m_class.size()) m_class[row] = 0;
}

void FilterTabs::ViewReset() {
  if (m_table.RowCount() == 0) m_class.clear();  // emptied: row ids start again
}

bool FilterTabs::AcceptsRow(const AccountTable& table, RowId row) const {
  if (m_tab == TabAll) return true;
  return TestOfTab(m_tab, m_charTab).Accepts(ClassOf(table, row));
}

// The filter over the whole table: one class lookup per row instead of a call through the
// predicate, then the extra test over the tab's rows at once.
void FilterTabs::FilterRows(const AccountTable& table, const RowId* rows, size_t n,
                            std::vector<RowId>& out) const {
  const bool extra = static_cast<bool>(m_extra);
  std::vector<RowId>& tabbed = extra ? m_tabRows : out;
  const RowId* judged = rows;
  size_t judgedCount = n;
  if (m_tab != TabAll) {
    const TabTest test = TestOfTab(m_tab, m_charTab);
    const std::uint16_t mask = test.mask, want = test.want;
    if (extra) tabbed.clear();
    const std::uint16_t* classes = m_class.data();
    size_t known = m_class.size();
    // Every row is written and the end moved on only for accepted ones: no branch to
    // mispredict on a tab that takes about half the rows.
    const size_t base = tabbed.size();
    tabbed.resize(base + n);
    RowId* dst = tabbed.data() + base;
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
      const RowId r = rows[i];
      std::uint16_t c;
      if (r < known && (classes[r] & kTabKnown)) [[likely]] {
        c = classes[r];
      } else {
        c = ComputeClass(table, r);
        classes = m_class.data();
        known = m_class.size();
      }
      dst[kept] = r;
      kept += (c & mask) == want;
    }
    tabbed.resize(base + kept);
    judged = tabbed.data();
    judgedCount = tabbed.size();
  } else if (!extra) {
    out.insert(out.end(), rows, rows + n);
    return;
  }
  if (!extra) return;
  if (m_extraBulk) {
    m_extraBulk(table, judged, judgedCount, out);
  } else {
    for (size_t i = 0; i < judgedCount; ++i)
      if (m_extra(table, judged[i])) out.push_back(judged[i]);
  }
}

void FilterTabs::TabChange() {
  m_tab = m_filterTabBar->currentIndex();
  m_charTab = m_charCountTabBar->currentIndex();
  m_charCountTabBar->setVisible(m_tab == TabCharCount);
  m_table.SetFiltered(true);  // judges every row anew
  m_table.First();
  emit FilterChanged(m_table.ViewCount());
}

void FilterTabs::FilterReset() {
  emit FilterWasReset();
  {
    const QSignalBlocker block(m_filterTabBar);
    m_filterTabBar->setCurrentIndex(TabAll);
  }
  m_tab = TabAll;
  m_charCountTabBar->hide();
  m_table.SetFiltered(false);
  m_table.First();
}

void FilterTabs::ApplyExtraFilter(bool narrowing) {
  if (narrowing && m_extra && m_table.Filtered())
    m_table.RefilterNarrowing();
  else
    m_table.SetFiltered(m_tab != TabAll || m_extra);
  m_table.First();
  emit FilterChanged(m_table.ViewCount());
}

void FilterTabs::ApplyUiText() {
  static const char* const kKeys[6] = {"f1_Tab_1", "f1_Tab_2", "f1_Tab_3",
                                       "f1_Tab_4", "f1_Tab_5", "f1_Tab_6"};
  for (int i = 0; i < 6; ++i) m_filterTabBar->setTabText(i, Ui(kKeys[i]));
  m_filterTabBar->setTabText(6, Ui("ext_Tab_CharCount"));
  m_filterTabBar->setTabText(7, Ui("ext_Tab_NotBlocked"));
  for (int i = 0; i <= 5; ++i)
    m_charCountTabBar->setTabText(
        i, FormatText(Ui(i == 1 ? "ext_Tab_OneChar" : "ext_Tab_Chars"), {i}));
}

}  // namespace kov
