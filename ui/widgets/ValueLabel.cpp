#include "ui/widgets/ValueLabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace kov {

ValueLabel::ValueLabel(QWidget* parent, int minimumWidth)
    : QLabel(parent), m_minimumWidth(minimumWidth) {
  Fit();
}

void ValueLabel::SetValue(const QString& value) {
  if (value == text()) return;
  setText(value);  // with a fixed size, no new layout
  if (fontMetrics().horizontalAdvance(value) > m_width) Fit();
}

void ValueLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    m_width = 0;
    Fit();
  }
}

void ValueLabel::paintEvent(QPaintEvent* event) {
  if (hasSelectedText() || hasFocus()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(),
                        QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                        isEnabled(), text(), foregroundRole());
}

void ValueLabel::Fit() {
  const QMargins m = contentsMargins();
  const QFontMetrics fm = fontMetrics();
  m_width = std::max(m_width, fm.horizontalAdvance(text()));
  setFixedSize(std::max(m_width + m.left() + m.right(), m_minimumWidth),
               fm.height() + m.top() + m.bottom());
}

}  // namespace kov
