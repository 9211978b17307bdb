#pragma once
#include <QCollator>
#include <QString>
#include <QStringView>
#include <string>

namespace kov {

// The sorter's collation: a comparison and keys that agree with each other.
//
// Qt's own are used where they are sound. On Windows they are not: Qt 6.4 sizes a key in
// bytes as UTF-16 units and compares it as UTF-16, so each key ends in uninitialised memory
// and its bytes are compared in swapped pairs; and its comparison may take another sort order
// of the language than the locale's own (for Spanish, the traditional one). So on Windows
// both come from the system, by the locale's name, with the flags Qt would pass.
class Collation {
 public:
  explicit Collation(const QCollator& collator);
  const QCollator& Collator() const { return m_collator; }

  int Compare(QStringView a, QStringView b) const;

  // A text's key: comparing two keys orders their texts as Compare does.
  class Key {
   public:
    int compare(const Key& other) const;

   private:
    friend class Collation;
#ifdef Q_OS_WIN
    std::string m_bytes;
#else
    explicit Key(QCollatorSortKey key) : m_key(std::move(key)) {}
    QCollatorSortKey m_key;
#endif
  };
  Key KeyOf(const QString& text) const;

 private:
  QCollator m_collator;
#ifdef Q_OS_WIN
  std::wstring m_locale;   // empty: the C locale, whose order Qt's comparison gives
  unsigned long m_flags = 0;
#endif
};

}  // namespace kov
