#pragma once

#include <QDialog>
#include <QFlags>
#include <QList>
#include <QString>

class QPushButton;

namespace kov {

enum class MsgDlgType { Warning, Error, Information, Confirmation, Custom };

// Bit values; the buttons always appear in this order, whatever order the caller names them.
enum class MsgDlgBtn : unsigned {
  None = 0,
  Yes = 0x001,
  No = 0x002,
  OK = 0x004,
  Cancel = 0x008,
  Abort = 0x010,
  Retry = 0x020,
  Ignore = 0x040,
  All = 0x080,
  NoToAll = 0x100,
  YesToAll = 0x200,
  Help = 0x400,
};
Q_DECLARE_FLAGS(MsgDlgButtons, MsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(MsgDlgButtons)

inline constexpr const char* kMessageDialogTitle = "Vornex Account Manager";

// Shows the modal question or notice centred on the screen and returns the button that
// closed it; closing by the frame returns Cancel. Yes, No, OK and Cancel are captioned from
// UiText.
// `defaultButton` (one of `buttons`) replaces the usual default (OK, else Yes, else Retry):
// a question whose Yes loses work defaults to No, so Enter keeps the work.
MsgDlgBtn MessageDialog(const QString& text, MsgDlgType kind, MsgDlgButtons buttons,
                        QWidget* parent = nullptr, MsgDlgBtn defaultButton = MsgDlgBtn::None);

// The dialog itself, so that its widgets can be driven in tests. Buttons carry the object
// names "btnYes", "btnNo", "btnOK", "btnCancel", "btnAbort", "btnRetry", "btnIgnore",
// "btnAll", "btnNoToAll", "btnYesToAll", "btnHelp"; the message label is "lblMessage" and
// the icon label "lblIcon".
class MessageBoxDialog : public QDialog {
  Q_OBJECT

 public:
  MessageBoxDialog(const QString& text, MsgDlgType kind, MsgDlgButtons buttons,
                   QWidget* parent = nullptr, MsgDlgBtn defaultButton = MsgDlgBtn::None);

  MsgDlgBtn Result() const { return m_result; }
  MsgDlgBtn DefaultButton() const { return m_default; }
  MsgDlgBtn EscapeButton() const { return m_escape; }
  QPushButton* Button(MsgDlgBtn button) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Press(MsgDlgBtn button);

  MsgDlgBtn m_result = MsgDlgBtn::Cancel;
  bool m_pressed = false;
  MsgDlgBtn m_default = MsgDlgBtn::None;
  MsgDlgBtn m_escape = MsgDlgBtn::None;
  QList<QPair<MsgDlgBtn, QPushButton*>> m_buttons;
};

// Test seam: queued answers are taken by the next dialogs instead of showing them; every
// call is recorded either way.
class MessageDialogSeam {
 public:
  struct Call {
    QString text;
    MsgDlgType kind;
    MsgDlgButtons buttons;
    MsgDlgBtn defaultButton;  // the one Enter presses
  };

  static void SetNextAnswer(MsgDlgBtn answer);
  static void Clear();  // forgets queued answers and recorded calls
  static int PendingAnswers();
  static QList<Call> Calls();
};

}  // namespace kov
