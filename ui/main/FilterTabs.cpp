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
  m_table.SetFilter([this](const AccountTable& t, RowId row) {
    return JvMemoryData1FilterRecord(t, row);
  });
  ApplyUiText();
}

bool FilterTabs::JvMemoryData1FilterRecord(const AccountTable& table, RowId row) const {
  const int tab = m_tab1->currentIndex();
  if (tab == TabAll) return true;
  const std::string_view level = table.Text(row, dbplevel);
  switch (tab) {
    case TabGuest:
      return ContainsUpperAscii(level, "GUEST");
    case TabPlayer:
      return ContainsUpperAscii(level, "PLAYER");
    case TabStaff:
      for (std::string_view word : {"COUNSELOR", "SEER", "GM", "DEV", "ADMIN", "OWNER"})
        if (ContainsUpperAscii(level, word)) return true;
      return false;
    case TabBlocked:
      return table.IntOr0(row, dbblock) == 1;  // an empty number reads as 0
    case TabJailed:
      return table.IntOr0(row, dbjail) == 1;
    case TabCharCount:
      return table.CharacterCount(row) == m_tab2->currentIndex();
    case TabNotBlocked:
      return table.IntOr0(row, dbblock) == 0;
    default:
      return false;
  }
}

void FilterTabs::TabControl1Change() {
  m_tab2->setVisible(m_tab1->currentIndex() == TabCharCount);
  m_table.SetFiltered(true);  // judges every row anew
  m_table.First();
  emit FilterChanged(m_table.ViewCount());
}

void FilterTabs::FilterReset() {
  {
    const QSignalBlocker block(m_tab1);
    m_tab1->setCurrentIndex(TabAll);
  }
  m_tab2->hide();
  m_table.SetFiltered(false);
  m_table.First();
}

void FilterTabs::ApplyUiText() {
  static const char* const kKeys[6] = {"f1_Tab_1", "f1_Tab_2", "f1_Tab_3",
                                       "f1_Tab_4", "f1_Tab_5", "f1_Tab_6"};
  for (int i = 0; i < 6; ++i) m_tab1->setTabText(i, Ui(kKeys[i]));
}

}  // namespace kov
