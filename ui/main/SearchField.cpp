#include "ui/main/SearchField.h"

#include <QKeyEvent>
#include <QTimer>
#include <array>
#include <cstring>

#include "ui/main/FilterTabs.h"
#include "ui/main/Text1252.h"
#include "ui/settings/UiText.h"

namespace kov {

namespace {
// Windows-1252 lower case: ASCII, the Latin-1 letters (but the multiplication sign) and
// the three pairs Š/š, Œ/œ, Ž/ž, and Ÿ/ÿ.
std::array<unsigned char, 256> MakeFold() {
  std::array<unsigned char, 256> f{};
  for (int i = 0; i < 256; ++i) f[i] = static_cast<unsigned char>(i);
  for (int c = 'A'; c <= 'Z'; ++c) f[c] = static_cast<unsigned char>(c + 32);
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) f[c] = static_cast<unsigned char>(c + 32);
  f[0x8A] = 0x9A;
  f[0x8C] = 0x9C;
  f[0x8E] = 0x9E;
  f[0x9F] = 0xFF;
  return f;
}
const std::array<unsigned char, 256> kFold = MakeFold();

constexpr Field kSearched[] = {dbaccount, dbemail, dbchatname, dblastip, dbfirstip};
}  // namespace

RowSearch::RowSearch(std::string_view needle) {
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
  return false;
}

SearchField::SearchField(FilterTabs& tabs, QWidget* parent) : QLineEdit(parent), m_tabs(tabs) {
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
  // The filter reset clears the search with the tabs; the reset itself rebuilds the view.
  connect(&m_tabs, &FilterTabs::FilterWasReset, this, [this] {
    m_pause->stop();
    m_tabs.SetExtraFilter({});
    m_applied.clear();
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
  if (typed.isEmpty()) {
    m_tabs.SetExtraFilter({});
  } else {
    // A character without a Windows-1252 byte occurs in no account: nothing matches.
    const std::optional<std::string> bytes = ToCp1252(typed);
    if (!bytes) {
      m_tabs.SetExtraFilter([](const AccountTable&, RowId) { return false; });
    } else {
      auto search = std::make_shared<RowSearch>(*bytes);
      m_tabs.SetExtraFilter(
          [search](const AccountTable& t, RowId row) { return search->Matches(t, row); });
    }
  }
  m_tabs.ApplyExtraFilter();
}

void SearchField::ApplyUiText() { setPlaceholderText(Ui("ext_Search_Hint")); }

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
