#include "ui/main/FilterTabs.h"

#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/settings/UiText.h"

namespace kov {

namespace {
char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

QTabBar* MakeTabBar(const char* name, QWidget* parent) {
  auto* bar = new QTabBar(parent);
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

bool EqualsUpperAscii(std::string_view text, std::string_view upperWord) {
  if (text.size() != upperWord.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (UpperAscii(text[i]) != upperWord[i]) return false;
  return true;
}

bool ContainsUpperAscii(std::string_view text, std::string_view upperWord) {
  if (upperWord.size() > text.size()) return false;
  for (size_t i = 0; i + upperWord.size() <= text.size(); ++i)
    if (EqualsUpperAscii(text.substr(i, upperWord.size()), upperWord)) return true;
  return false;
}

FilterTabs::FilterTabs(AccountTable& table, QWidget* parent) : QWidget(parent), m_table(table) {
  setObjectName(QStringLiteral("FilterTabs"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  m_tab1 = MakeTabBar("TabControl1", this);
  for (const char* caption : {"All", "Guest", "Player", "Staff", "Blocked", "Jailed", "Char Count",
                              "Not blocked"})
    m_tab1->addTab(QString::fromLatin1(caption));
  m_tab2 = MakeTabBar("TabControl2", this);
  for (const char* caption : {"0 Chars", "1 Char", "2 Chars", "3 Chars", "4 Chars", "5 Chars"})
    m_tab2->addTab(QString::fromLatin1(caption));
  m_tab2->hide();
  layout->addWidget(m_tab1);
  layout->addWidget(m_tab2);
  // currentChanged also fires for programmatic changes; those run under a signal blocker.
  connect(m_tab1, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });
  connect(m_tab2, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });
  m_table.AddListener(this);
  m_table.SetFilter([this](const AccountTable& t, RowId row) {
    return JvMemoryData1FilterRecord(t, row) && (!m_extra || m_extra(t, row));
  });
  ApplyUiText();
}

FilterTabs::~FilterTabs() { m_table.RemoveListener(this); }

std::uint16_t FilterTabs::ClassOf(const AccountTable& table, RowId row) const {
  if (row >= m_class.size()) m_class.resize(static_cast<size_t>(row) + 1024, 0);
  std::uint16_t& c = m_class[row];
  if (c & Known) return c;
  c = Known;
  const std::string_view level = table.Text(row, dbplevel);
  if (ContainsUpperAscii(level, "GUEST")) c |= Guest;
  if (ContainsUpperAscii(level, "PLAYER")) c |= Player;
  for (std::string_view word : {"COUNSELOR", "SEER", "GM", "DEV", "ADMIN", "OWNER"})
    if (ContainsUpperAscii(level, word)) c |= Staff;
  // An empty number reads as 0.
  const int block = table.IntOr0(row, dbblock);
  if (block == 1) c |= Blocked;
  if (block == 0) c |= NotBlocked;
  if (table.IntOr0(row, dbjail) == 1) c |= Jailed;
  c |= static_cast<std::uint16_t>(table.CharacterCount(row) << CharShift);
  return c;
}

// Every change of a row ends in a store (new rows and loaded rows included), and a stored
// row is judged only after this, so the class is never stale when read.
void FilterTabs::AfterPost(RowId row) {
  if (row < m_class.size()) m_class[row] = 0;
}

void FilterTabs::ViewReset() {
  if (m_table.RowCount() == 0) m_class.clear();  // emptied: row ids start again
}

bool FilterTabs::JvMemoryData1FilterRecord(const AccountTable& table, RowId row) const {
  const int tab = m_tab;
  if (tab == TabAll) return true;
  const std::uint16_t c = ClassOf(table, row);
  switch (tab) {
    case TabGuest: return c & Guest;
    case TabPlayer: return c & Player;
    case TabStaff: return c & Staff;
    case TabBlocked: return c & Blocked;
    case TabJailed: return c & Jailed;
    case TabCharCount: return (c >> CharShift & 0x7) == m_charTab;
    case TabNotBlocked: return c & NotBlocked;
    default: return false;
  }
}

void FilterTabs::TabControl1Change() {
  m_tab = m_tab1->currentIndex();
  m_charTab = m_tab2->currentIndex();
  m_tab2->setVisible(m_tab == TabCharCount);
  m_table.SetFiltered(true);  // judges every row anew
  m_table.First();
  emit FilterChanged(m_table.ViewCount());
}

void FilterTabs::FilterReset() {
  emit FilterWasReset();
  {
    const QSignalBlocker block(m_tab1);
    m_tab1->setCurrentIndex(TabAll);
  }
  m_tab = TabAll;
  m_tab2->hide();
  m_table.SetFiltered(false);
  m_table.First();
}

void FilterTabs::ApplyExtraFilter() {
  m_table.SetFiltered(m_tab != TabAll || m_extra);
  m_table.First();
  emit FilterChanged(m_table.ViewCount());
}

void FilterTabs::ApplyUiText() {
  static const char* const kKeys[6] = {"f1_Tab_1", "f1_Tab_2", "f1_Tab_3",
                                       "f1_Tab_4", "f1_Tab_5", "f1_Tab_6"};
  for (int i = 0; i < 6; ++i) m_tab1->setTabText(i, Ui(kKeys[i]));
}

}  // namespace kov
