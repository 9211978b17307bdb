#include "ui/widgets/BalloonTip.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kov {

namespace {
constexpr int kTail = 10;  // height of the pointer below the body
}

BalloonTip::BalloonTip(QWidget* target, const QString& header, const QString& text,
                       int closeAfterMs)
    : QFrame(target->window()), m_target(target) {
  setObjectName(QStringLiteral("BalloonHint"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 6, 6, 6 + kTail);
  outer->setSpacing(2);
  auto* top = new QHBoxLayout;
  m_header = new QLabel(header, this);
  m_header->setObjectName(QStringLiteral("BalloonHeader"));
  QFont bold = m_header->font();
  bold.setBold(true);
  m_header->setFont(bold);
  auto* close = new QToolButton(this);
  close->setObjectName(QStringLiteral("BalloonClose"));
  close->setText(QStringLiteral("\u00D7"));
  close->setAutoRaise(true);
  close->setCursor(Qt::PointingHandCursor);
  connect(close, &QToolButton::clicked, this, &QWidget::close);
  top->addWidget(m_header, 1);
  top->addWidget(close);
  outer->addLayout(top);
  m_text = new QLabel(text, this);
  m_text->setObjectName(QStringLiteral("BalloonText"));
  m_text->setWordWrap(true);
  m_text->setMaximumWidth(260);
  outer->addWidget(m_text);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
  pal.setColor(QPalette::WindowText, pal.color(QPalette::ToolTipText));
  setPalette(pal);
  window()->installEventFilter(this);
  target->installEventFilter(this);
  QTimer::singleShot(closeAfterMs, this, &QWidget::close);
  adjustSize();
  Place();
  show();
  raise();
}

void BalloonTip::Place() {
  if (!m_target) return;
  adjustSize();
  const QPoint anchor =
      m_target->mapTo(window(), QPoint(m_target->width() / 2, m_target->height() / 3));
  int x = std::max(0, std::min(anchor.x() - 20, window()->width() - width()));
  int y = std::max(0, anchor.y() - height());
  move(x, y);
}

bool BalloonTip::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
      event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
    Place();
  return QFrame::eventFilter(watched, event);
}

void BalloonTip::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF body(0.5, 0.5, width() - 1.0, height() - kTail - 1.0);
  QPainterPath path;
  path.addRoundedRect(body, 6, 6);
  const double tx =
      m_target ? std::clamp(
                     double(m_target->mapTo(window(), QPoint(m_target->width() / 2, 0)).x() - x()),
                     14.0, width() - 14.0)
               : 20.0;
  QPolygonF tail;
  tail << QPointF(tx - 8, body.bottom()) << QPointF(tx, height() - 0.5)
       << QPointF(tx + 2, body.bottom());
  path.addPolygon(tail);
  path = path.simplified();
  p.setBrush(palette().color(QPalette::Window));
  p.setPen(QPen(palette().color(QPalette::Dark), 1));
  p.drawPath(path);
}

}  // namespace kov
