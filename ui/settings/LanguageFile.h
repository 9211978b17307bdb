#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QWidget;

namespace kov {

enum class LanguageLoad {
  Loaded,      // the document was applied
  NotFound,    // no file at the path; the operator has been told
  Unreadable,  // not well-formed, unreadable or too large: nothing changed, nothing shown
};

// "english.xml" for 0, "german.xml" for 1, empty otherwise.
QString LanguageFileName(int lang);

// The program folder with a trailing separator, followed by the file name (for a language
// without a file, the folder itself).
QString LanguageFilePath(const QString& programDir, int lang);

// Language files are 8-bit Windows-1252 text whatever their XML declaration says; the text
// ends at the first NUL byte.
QString DecodeWindows1252(const QByteArray& bytes);

// Applies a language document to UiText and to those of the given windows that it names.
// A document that is not well-formed changes nothing and returns false.
bool ApplyLanguageDocument(const QByteArray& bytes, const QList<QWidget*>& windows);

// Reads the language file that lang selects from the program folder. A missing file is
// reported through MessageDialog with the fixed "Language file not found: " text.
LanguageLoad LoadLanguageFile(const QString& programDir, int lang, const QList<QWidget*>& windows,
                              QWidget* dialogParent = nullptr);
// As above, matching the element names against every top-level window that exists.
LanguageLoad LoadLanguageFile(const QString& programDir, int lang);

}  // namespace kov
