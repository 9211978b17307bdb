#pragma once
// Plain notices (the platform's message box with an OK button) and file dialogs, with
// seams so tests can see what would have been shown and answer without a dialog.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace kov {

enum class NoticeKind { Information, Warning, Error };

void ShowNotice(QWidget* parent, NoticeKind kind, const QString& text);

// Test seam: while set, notices go to the handler instead of a message box.
using NoticeHandler = std::function<void(NoticeKind, const QString&)>;
void SetNoticeHandler(NoticeHandler handler);

struct FileDialogRequest {
  // Program: an existing program file; `filter` applies where programs have a file-name
  // extension (Windows), elsewhere the dialog lists only executable files.
  enum class Kind { Save, Open, Folder, Program } kind;
  QString title, directory, filter, defaultSuffix;
  QString statusLine = {};  // Folder: a line of text above the folder list
};
// Returns the chosen path, or an empty text when the operator cancelled.
QString AskFileName(QWidget* parent, const FileDialogRequest& request);
// Test seam: the next calls answer these names in turn (an empty name = cancel).
void SetNextFileNames(const QStringList& names);
// Ends the seam: the next calls show the real dialogs again.
void ClearNextFileNames();
const FileDialogRequest& LastFileDialogRequest();

}  // namespace kov
