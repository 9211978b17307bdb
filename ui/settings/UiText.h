#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

namespace kov {

// The table of localisable texts: fixed keys with built-in defaults, overwritten by
// each language file that names them. Never reset, so a key a later file leaves out
// keeps the text it had.
// The 105 keys of the original table come first, in their order; the keys of later
// features follow them.
inline constexpr int kUiTextBaseKeyCount = 105;
inline constexpr int kUiTextKeyCount = 289;

class UiText {
 public:
  static UiText& Instance();

  void RegisterUiTextKeys();            // kUiTextKeyCount entries, idempotent
  QString Text(QStringView key) const;  // ignoring letter case; unknown -> empty
  void SetText(QStringView key, const QString& value);
  QStringList Keys() const;  // registration order

  bool HasKey(QStringView key) const;
  // Built-in default of a key, whatever has been loaded since; empty for unknown keys.
  static QString DefaultText(QStringView key);

 private:
  UiText() = default;

  QStringList m_keys;               // registration order, original spelling
  QHash<QString, QString> m_texts;  // folded key -> text
};

QString Ui(const char* key);  // UiText::Instance().Text(key)

// Fills %s and %d in order from args. A translated text may carry too many, too few or
// wrong placeholders: missing arguments leave the placeholder as written, surplus ones are
// dropped, "%%" gives "%", and nothing is ever handed to a printf-style function.
QString FormatText(const QString& fmt, const QList<QVariant>& args);

}  // namespace kov
