#pragma once

#include <QMenu>
#include <QPointer>

class QAction;

namespace kov {

// The shared edit context menu "Popup_Log": Undo, Cut, Copy, Paste, Delete, Select all,
// acting on the text field it was opened for. The log pane and every text field of the
// program use the one instance.
class EditPopup : public QMenu {
  Q_OBJECT

 public:
  explicit EditPopup(QWidget* parent = nullptr);

  // Gives a line edit, text edit, plain text edit, editable combo box or spin box this menu
  // in place of its own.
  void Attach(QWidget* field);
  void PopupFor(QWidget* field, const QPoint& globalPos);

  // Captions from the pop_log_* texts.
  void ApplyUiText();

  QAction* EditUndo() const { return m_undo; }
  QAction* EditCut() const { return m_cut; }
  QAction* EditCopy() const { return m_copy; }
  QAction* EditPaste() const { return m_paste; }
  QAction* EditDelete() const { return m_delete; }
  QAction* EditSelectAll() const { return m_selectAll; }
  QWidget* Target() const;

 private:
  void UpdateActions();
  void Run(QAction* action);

  QAction* m_undo = nullptr;
  QAction* m_cut = nullptr;
  QAction* m_copy = nullptr;
  QAction* m_paste = nullptr;
  QAction* m_delete = nullptr;
  QAction* m_selectAll = nullptr;
  QPointer<QWidget> m_target;
};

}  // namespace kov
