#include "ui/settings/MessageDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/settings/UiText.h"

namespace kov {
namespace {

struct ButtonInfo {
  MsgDlgBtn button;
  const char* objectName;
  const char* uiKey;  // nullptr: the platform's own caption
  QDialogButtonBox::StandardButton standard;
};

// The order in which the buttons are shown.
constexpr ButtonInfo kButtons[] = {
    {MsgDlgBtn::Yes, "btnYes", "dlg_yes", QDialogButtonBox::Yes},
    {MsgDlgBtn::No, "btnNo", "dlg_no", QDialogButtonBox::No},
    {MsgDlgBtn::OK, "btnOK", "dlg_ok", QDialogButtonBox::Ok},
    {MsgDlgBtn::Cancel, "btnCancel", "dlg_cancel", QDialogButtonBox::Cancel},
    {MsgDlgBtn::Abort, "btnAbort", nullptr, QDialogButtonBox::Abort},
    {MsgDlgBtn::Retry, "btnRetry", nullptr, QDialogButtonBox::Retry},
    {MsgDlgBtn::Ignore, "btnIgnore", nullptr, QDialogButtonBox::Ignore},
    {MsgDlgBtn::All, "btnAll", nullptr, QDialogButtonBox::NoButton},
    {MsgDlgBtn::NoToAll, "btnNoToAll", nullptr, QDialogButtonBox::NoToAll},
    {MsgDlgBtn::YesToAll, "btnYesToAll", nullptr, QDialogButtonBox::YesToAll},
    {MsgDlgBtn::Help, "btnHelp", nullptr, QDialogButtonBox::Help},
};

QString PlatformCaption(const ButtonInfo& info) {
  if (info.standard == QDialogButtonBox::NoButton)
    return QCoreApplication::translate("QPlatformTheme", "&All");
  QDialogButtonBox box;
  return box.addButton(info.standard)->text();
}

QStyle::StandardPixmap KindPixmap(MsgDlgType kind) {
  switch (kind) {
    case MsgDlgType::Warning:
      return QStyle::SP_MessageBoxWarning;
    case MsgDlgType::Error:
      return QStyle::SP_MessageBoxCritical;
    case MsgDlgType::Information:
      return QStyle::SP_MessageBoxInformation;
    case MsgDlgType::Confirmation:
      return QStyle::SP_MessageBoxQuestion;
    case MsgDlgType::Custom:
      break;
  }
  return QStyle::SP_CustomBase;
}

struct SeamState {
  QQueue<MsgDlgBtn> answers;
  QList<MessageDialogSeam::Call> calls;
};

SeamState& Seam() {
  static SeamState state;
  return state;
}

}  // namespace

MessageBoxDialog::MessageBoxDialog(const QString& text, MsgDlgType kind, MsgDlgButtons buttons,
                                   QWidget* parent, MsgDlgBtn defaultButton)
    : QDialog(parent) {
  setObjectName(QStringLiteral("MessageForm"));
  setWindowTitle(QString::fromLatin1(kMessageDialogTitle));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* body = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("lblIcon"));
  const QStyle::StandardPixmap pixmap = KindPixmap(kind);
  if (pixmap != QStyle::SP_CustomBase) {
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(pixmap, nullptr, this).pixmap(size, size));
    icon->setAlignment(Qt::AlignTop);
  } else {
    icon->hide();
  }
  auto* message = new QLabel(text, this);
  message->setObjectName(QStringLiteral("lblMessage"));
  message->setTextFormat(Qt::PlainText);  // a message never turns into markup
  message->setWordWrap(true);
  // Word wrap alone would squeeze a long line (a path) into a narrow column.
  int widest = 0;
  for (const QString& line : text.split(u'\n'))
    widest = qMax(widest, message->fontMetrics().horizontalAdvance(line));
  message->setMinimumWidth(qBound(200, widest + 4, 480));
  message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  body->addWidget(icon);
  body->addWidget(message, 1);

  auto* row = new QHBoxLayout;
  row->addStretch();
  for (const ButtonInfo& info : kButtons) {
    if (!buttons.testFlag(info.button)) continue;
    const QString caption = info.uiKey ? UiText::Instance().Text(QString::fromLatin1(info.uiKey))
                                       : PlatformCaption(info);
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(info.objectName));
    b->setAutoDefault(false);  // Enter follows our own rule, not the focused button
    const MsgDlgBtn which = info.button;
    connect(b, &QPushButton::clicked, this, [this, which] { Press(which); });
    row->addWidget(b);
    m_buttons.append({info.button, b});
  }
  row->addStretch();

  auto* outer = new QVBoxLayout(this);
  outer->addLayout(body);
  outer->addSpacing(8);
  outer->addLayout(row);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  for (MsgDlgBtn b : {MsgDlgBtn::OK, MsgDlgBtn::Yes, MsgDlgBtn::Retry}) {
    if (buttons.testFlag(b)) {
      m_default = b;
      break;
    }
  }
  if (defaultButton != MsgDlgBtn::None && buttons.testFlag(defaultButton))
    m_default = defaultButton;
  for (MsgDlgBtn b : {MsgDlgBtn::Cancel, MsgDlgBtn::No, MsgDlgBtn::OK}) {
    if (buttons.testFlag(b)) {
      m_escape = b;
      break;
    }
  }
  if (QPushButton* d = Button(m_default)) {
    d->setDefault(true);
    d->setFocus();
  }
}

QPushButton* MessageBoxDialog::Button(MsgDlgBtn button) const {
  for (const auto& [which, b] : m_buttons) {
    if (which == button) return b;
  }
  return nullptr;
}

void MessageBoxDialog::Press(MsgDlgBtn button) {
  m_result = button;
  m_pressed = true;
  done(QDialog::Accepted);
}

void MessageBoxDialog::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
    QDialog::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (m_default != MsgDlgBtn::None) {
        Press(m_default);
      } else if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
        focused->click();
      }
      return;
    case Qt::Key_Escape:
      if (m_escape != MsgDlgBtn::None) Press(m_escape);
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void MessageBoxDialog::closeEvent(QCloseEvent* event) {
  if (!m_pressed) m_result = MsgDlgBtn::Cancel;
  QDialog::closeEvent(event);
}

void MessageBoxDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  if (!screen) screen = this->screen();
  if (screen) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

MsgDlgBtn MessageDialog(const QString& text, MsgDlgType kind, MsgDlgButtons buttons,
                        QWidget* parent, MsgDlgBtn defaultButton) {
  SeamState& seam = Seam();
  MessageBoxDialog form(text, kind, buttons, parent, defaultButton);
  seam.calls.append({text, kind, buttons, form.DefaultButton()});
  if (!seam.answers.isEmpty()) return seam.answers.dequeue();

  form.exec();
  return form.Result();
}

void MessageDialogSeam::SetNextAnswer(MsgDlgBtn answer) { Seam().answers.enqueue(answer); }

void MessageDialogSeam::Clear() {
  Seam().answers.clear();
  Seam().calls.clear();
}

int MessageDialogSeam::PendingAnswers() { return int(Seam().answers.size()); }

QList<MessageDialogSeam::Call> MessageDialogSeam::Calls() { return Seam().calls; }

}  // namespace kov
