#pragma once
#include <QCollator>
#include <QString>
#include <string>

namespace kov {

// A text's key under a collator: comparing two keys orders their texts as the collator does.
// Qt's own keys are used where they are sound. On Windows they are not (Qt 6.4 sizes the key
// in bytes as UTF-16 units and compares it as UTF-16, so each key ends in uninitialised
// memory and its bytes are compared in swapped pairs); there the key is the system's
// sort-key bytes, compared as bytes.
class CollationKey {
 public:
  CollationKey(const QCollator& collator, const QString& text);
  int compare(const CollationKey& other) const;

 private:
#ifdef Q_OS_WIN
  std::string m_bytes;
#else
  QCollatorSortKey m_key;
#endif
};

}  // namespace kov
