#include "ui/widgets/EditPopup.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "ui/settings/UiText.h"

namespace kov {
namespace {

QLineEdit* LineEditOf(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e;
  if (auto* c = qobject_cast<QComboBox*>(w)) return c->lineEdit();
  if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) return s->findChild<QLineEdit*>();
  return nullptr;
}

}  // namespace

EditPopup::EditPopup(QWidget* parent) : QMenu(parent) {
  setObjectName(QStringLiteral("Popup_Log"));
  auto make = [this](const char* name, const QKeySequence& keys) {
    auto* a = addAction(QString());
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(keys);
    // The shortcuts are shown in the menu only: the fields handle the keys themselves, and
    // Del must stay free for Delete Account in the grid.
    a->setShortcutContext(Qt::WidgetShortcut);
    connect(a, &QAction::triggered, this, [this, a] { Run(a); });
    return a;
  };
  m_undo = make("EditUndo1", QKeySequence(Qt::CTRL | Qt::Key_Z));
  addSeparator();
  m_cut = make("EditCut1", QKeySequence(Qt::CTRL | Qt::Key_X));
  m_copy = make("EditCopy1", QKeySequence(Qt::CTRL | Qt::Key_C));
  m_paste = make("EditPaste1", QKeySequence(Qt::CTRL | Qt::Key_V));
  m_delete = make("EditDelete1", QKeySequence(Qt::Key_Delete));
  addSeparator();
  m_selectAll = make("EditSelectAll1", QKeySequence(Qt::CTRL | Qt::Key_A));
  connect(this, &QMenu::aboutToShow, this, &EditPopup::UpdateActions);
  ApplyUiText();
}

void EditPopup::ApplyUiText() {
  m_undo->setText(Ui("pop_log_Undo"));
  m_cut->setText(Ui("pop_log_Cut"));
  m_copy->setText(Ui("pop_log_copy"));
  m_paste->setText(Ui("pop_log_Paste"));
  m_delete->setText(Ui("pop_log_delete"));
  m_selectAll->setText(Ui("pop_log_selectall"));
}

void EditPopup::Attach(QWidget* field) {
  if (!field) return;
  QWidget* host = field;
  if (auto* c = qobject_cast<QComboBox*>(field); c && c->lineEdit()) host = c->lineEdit();
  if (auto* s = qobject_cast<QAbstractSpinBox*>(field)) {
    if (auto* e = s->findChild<QLineEdit*>()) host = e;
  }
  // Scroll areas ask for their menu on the viewport's behalf.
  host->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(host, &QWidget::customContextMenuRequested, this,
          [this, field, host](const QPoint& pos) { PopupFor(field, host->mapToGlobal(pos)); });
}

void EditPopup::PopupFor(QWidget* field, const QPoint& globalPos) {
  m_target = field;
  if (field) field->setFocus(Qt::PopupFocusReason);
  popup(globalPos);
}

QWidget* EditPopup::Target() const {
  return m_target ? m_target.data() : QApplication::focusWidget();
}

void EditPopup::UpdateActions() {
  QWidget* w = Target();
  bool readOnly = true, hasSelection = false, canUndo = false, hasText = false;
  if (QLineEdit* e = LineEditOf(w)) {
    readOnly = e->isReadOnly();
    hasSelection = e->hasSelectedText();
    canUndo = e->isUndoAvailable();
    hasText = !e->text().isEmpty();
  } else if (auto* t = qobject_cast<QTextEdit*>(w)) {
    readOnly = t->isReadOnly();
    hasSelection = t->textCursor().hasSelection();
    canUndo = t->document()->isUndoAvailable();
    hasText = !t->document()->isEmpty();
  } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
    readOnly = p->isReadOnly();
    hasSelection = p->textCursor().hasSelection();
    canUndo = p->document()->isUndoAvailable();
    hasText = !p->document()->isEmpty();
  }
  const bool canPaste = !QApplication::clipboard()->text().isEmpty();
  m_undo->setEnabled(!readOnly && canUndo);
  m_cut->setEnabled(!readOnly && hasSelection);
  m_copy->setEnabled(hasSelection);
  m_paste->setEnabled(!readOnly && canPaste);
  m_delete->setEnabled(!readOnly && hasSelection);
  m_selectAll->setEnabled(hasText);
}

void EditPopup::Run(QAction* action) {
  QWidget* w = Target();
  if (QLineEdit* e = LineEditOf(w)) {
    if (action == m_undo)
      e->undo();
    else if (action == m_cut)
      e->cut();
    else if (action == m_copy)
      e->copy();
    else if (action == m_paste)
      e->paste();
    else if (action == m_delete && !e->isReadOnly())
      e->del();
    else if (action == m_selectAll)
      e->selectAll();
    return;
  }
  auto apply = [&](auto* t) {
    if (action == m_undo)
      t->undo();
    else if (action == m_cut)
      t->cut();
    else if (action == m_copy)
      t->copy();
    else if (action == m_paste)
      t->paste();
    else if (action == m_delete && !t->isReadOnly())
      t->textCursor().removeSelectedText();
    else if (action == m_selectAll)
      t->selectAll();
  };
  if (auto* t = qobject_cast<QTextEdit*>(w))
    apply(t);
  else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
    apply(p);
}

}  // namespace kov
