#include "ui/main/Notice.h"

#include <QFileDialog>
#include <QMessageBox>

#include "ui/main/ProgressWindow.h"

namespace kov {

namespace {
NoticeHandler& Handler() {
  static NoticeHandler h;
  return h;
}
QStringList& NextNames() {
  static QStringList names;
  return names;
}
bool& HaveNextNames() {
  static bool on = false;
  return on;
}
FileDialogRequest& LastRequest() {
  static FileDialogRequest r{FileDialogRequest::Kind::Save, {}, {}, {}, {}};
  return r;
}
}  // namespace

void SetNoticeHandler(NoticeHandler handler) { Handler() = std::move(handler); }

void ShowNotice(QWidget* parent, NoticeKind kind, const QString& text) {
  if (Handler()) {
    Handler()(kind, text);
    return;
  }
  const QString title = ProgressWindow::kDefaultTitle;
  switch (kind) {
    case NoticeKind::Information:
      QMessageBox::information(parent, title, text);
      break;
    case NoticeKind::Warning:
      QMessageBox::warning(parent, title, text);
      break;
    case NoticeKind::Error:
      QMessageBox::critical(parent, title, text);
      break;
  }
}

void SetNextFileNames(const QStringList& names) {
  NextNames() = names;
  HaveNextNames() = true;
}

const FileDialogRequest& LastFileDialogRequest() { return LastRequest(); }

QString AskFileName(QWidget* parent, const FileDialogRequest& request) {
  LastRequest() = request;
  if (HaveNextNames()) {
    if (NextNames().isEmpty()) return {};
    return NextNames().takeFirst();
  }
  switch (request.kind) {
    case FileDialogRequest::Kind::Folder:
      return QFileDialog::getExistingDirectory(parent, request.title, request.directory);
    case FileDialogRequest::Kind::Open:
      return QFileDialog::getOpenFileName(parent, request.title, request.directory,
                                          request.filter);
    case FileDialogRequest::Kind::Save: {
      QFileDialog dialog(parent, request.title, request.directory, request.filter);
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.setDefaultSuffix(request.defaultSuffix);
      dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
      if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
      return dialog.selectedFiles().first();
    }
  }
  return {};
}

}  // namespace kov
