#include "ui/grid/Collation.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace kov {

#ifdef Q_OS_WIN

namespace {

void AppendUtf16BigEndian(std::string& out, QStringView text) {
  for (QChar c : text) {
    out += static_cast<char>(c.unicode() >> 8);
    out += static_cast<char>(c.unicode() & 0xFF);
  }
}

const wchar_t* Wide(QStringView text) { return reinterpret_cast<const wchar_t*>(text.utf16()); }

}  // namespace

Collation::Collation(const QCollator& collator) : m_collator(collator) {
  if (collator.locale().language() == QLocale::C) return;
  m_locale = collator.locale().bcp47Name().toStdWString();
  if (collator.caseSensitivity() == Qt::CaseInsensitive) m_flags |= NORM_IGNORECASE;
  if (collator.numericMode()) m_flags |= SORT_DIGITSASNUMBERS;
  if (collator.ignorePunctuation()) m_flags |= NORM_IGNORESYMBOLS;
}

int Collation::Compare(QStringView a, QStringView b) const {
  if (m_locale.empty()) return m_collator.compare(a, b);
  // Empty texts come first, as with the keys; the system refuses them.
  if (a.isEmpty() || b.isEmpty()) return a.isEmpty() ? (b.isEmpty() ? 0 : -1) : 1;
  const int result =
      CompareStringEx(m_locale.c_str(), m_flags, Wide(a), static_cast<int>(a.size()), Wide(b),
                      static_cast<int>(b.size()), nullptr, nullptr, 0);
  return result ? result - 2 : 0;  // a failure calls them equal, which keeps a sort consistent
}

Collation::Key Collation::KeyOf(const QString& text) const {
  Key key;
  if (text.isEmpty()) return key;  // the empty key: less than any other, as in Compare
  if (m_locale.empty()) {
    // Qt compares code units here, optionally case-folded.
    AppendUtf16BigEndian(key.m_bytes, m_collator.caseSensitivity() == Qt::CaseInsensitive
                                          ? text.toCaseFolded()
                                          : text);
    return key;
  }
  const DWORD flags = LCMAP_SORTKEY | m_flags;
  const int size = LCMapStringEx(m_locale.c_str(), flags, Wide(text), static_cast<int>(text.size()),
                                 nullptr, 0, nullptr, nullptr, 0);
  if (size <= 0) {
    AppendUtf16BigEndian(key.m_bytes, text);  // no key from the system: equal texts still meet
    return key;
  }
  key.m_bytes.resize(static_cast<size_t>(size));
  const int written =
      LCMapStringEx(m_locale.c_str(), flags, Wide(text), static_cast<int>(text.size()),
                    reinterpret_cast<wchar_t*>(key.m_bytes.data()), size, nullptr, nullptr, 0);
  key.m_bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return key;
}

int Collation::Key::compare(const Key& other) const {
  // std::string compares its chars as unsigned, as sort keys are meant to be compared.
  const int c = m_bytes.compare(other.m_bytes);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

#else

Collation::Collation(const QCollator& collator) : m_collator(collator) {}

int Collation::Compare(QStringView a, QStringView b) const { return m_collator.compare(a, b); }

Collation::Key Collation::KeyOf(const QString& text) const {
  return Key(m_collator.sortKey(text));
}

int Collation::Key::compare(const Key& other) const { return m_key.compare(other.m_key); }

#endif

}  // namespace kov
