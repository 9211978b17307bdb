#include "ui/grid/CollationKey.h"

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

// The flags QCollator passes to CompareString for the same settings, so keys and direct
// comparisons agree.
DWORD MapFlags(const QCollator& collator) {
  DWORD flags = LCMAP_SORTKEY;
  if (collator.caseSensitivity() == Qt::CaseInsensitive) flags |= NORM_IGNORECASE;
  if (collator.numericMode()) flags |= SORT_DIGITSASNUMBERS;
  if (collator.ignorePunctuation()) flags |= NORM_IGNORESYMBOLS;
  return flags;
}

void AppendUtf16BigEndian(std::string& out, const QString& text) {
  for (QChar c : text) {
    out += static_cast<char>(c.unicode() >> 8);
    out += static_cast<char>(c.unicode() & 0xFF);
  }
}

}  // namespace

CollationKey::CollationKey(const QCollator& collator, const QString& text) {
  // An empty text keeps the empty key: the collator calls it less than any other, and the
  // system refuses to map it.
  if (text.isEmpty()) return;
  if (collator.locale().language() == QLocale::C) {
    // The collator compares code units here, optionally case-folded.
    AppendUtf16BigEndian(m_bytes, collator.caseSensitivity() == Qt::CaseInsensitive
                                      ? text.toCaseFolded()
                                      : text);
    return;
  }
  const std::wstring locale = collator.locale().bcp47Name().toStdWString();
  const DWORD flags = MapFlags(collator);
  const auto* source = reinterpret_cast<const wchar_t*>(text.utf16());
  const int size = LCMapStringEx(locale.c_str(), flags, source, static_cast<int>(text.size()),
                                 nullptr, 0, nullptr, nullptr, 0);
  if (size <= 0) {
    // No key from the system: the text itself still gives every equal text one place.
    AppendUtf16BigEndian(m_bytes, text);
    return;
  }
  m_bytes.resize(static_cast<size_t>(size));
  const int written =
      LCMapStringEx(locale.c_str(), flags, source, static_cast<int>(text.size()),
                    reinterpret_cast<wchar_t*>(m_bytes.data()), size, nullptr, nullptr, 0);
  m_bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
}

int CollationKey::compare(const CollationKey& other) const {
  // std::string compares its chars as unsigned, as sort keys are meant to be compared.
  const int c = m_bytes.compare(other.m_bytes);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

#else

CollationKey::CollationKey(const QCollator& collator, const QString& text)
    : m_key(collator.sortKey(text)) {}

int CollationKey::compare(const CollationKey& other) const { return m_key.compare(other.m_key); }

#endif

}  // namespace kov
