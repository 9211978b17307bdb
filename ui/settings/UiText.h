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
class UiText {
 public:
  static UiText& Instance();

  void RegisterUiTextKeys();                       // the 105 entries, idempotent
  QString Text(QStringView key) const;             // ignoring letter case; unknown -> empty
  void SetText(QStringView key, const QString& value);
  QStringList Keys() const;                        // registration order

  bool HasKey(QStringView key) const;
  // Built-in default of a key, whatever has been loaded since; empty for unknown keys.
  static QString DefaultText(QStringView key);

 private:
  UiText() = default;

  QStringList m_keys;                  // registration order, original spelling
  QHash<QString, QString> m_texts;     // folded key -> text
};

QString Ui(const char* key);  // UiText::Instance().Text(key)

// Fills %s and %d in order from args. A translated text may carry too many, too few or
// wrong placeholders: missing arguments leave the placeholder as written, surplus ones are
// dropped, "%%" gives "%", and nothing is ever handed to a printf-style function.
QString FormatText(const QString& fmt, const QList<QVariant>& args);

}  // namespace kov
