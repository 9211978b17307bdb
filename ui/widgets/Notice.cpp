#include "ui/widgets/Notice.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QSortFilterProxyModel>

#include "ui/widgets/ProgressWindow.h"

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
#ifndef _WIN32
// Folders and executable files only: a Linux server program has no extension to filter by.
class ExecutableFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (!files) return true;
    // The model fills in its own file details later; ask the file system now.
    const QFileInfo info(files->filePath(files->index(row, 0, parent)));
    return info.isDir() || (info.isFile() && info.isExecutable());
  }
};
#endif

QString AskProgram(QWidget* parent, const FileDialogRequest& request) {
#ifdef _WIN32
  return QFileDialog::getOpenFileName(parent, request.title, request.directory, request.filter);
#else
  QFileDialog dialog(parent, request.title, request.directory);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);  // the proxy needs Qt's own dialog
  dialog.setProxyModel(new ExecutableFilter(&dialog));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
#endif
}

QString AskFolder(QWidget* parent, const FileDialogRequest& request) {
  if (request.statusLine.isEmpty())
    return QFileDialog::getExistingDirectory(parent, request.title, request.directory);
  QFileDialog dialog(parent, request.title, request.directory);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  dialog.setLabelText(QFileDialog::LookIn, request.statusLine);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
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

void ClearNextFileNames() {
  NextNames().clear();
  HaveNextNames() = false;
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
      return AskFolder(parent, request);
    case FileDialogRequest::Kind::Program:
      return AskProgram(parent, request);
    case FileDialogRequest::Kind::Open:
      return QFileDialog::getOpenFileName(parent, request.title, request.directory, request.filter);
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
