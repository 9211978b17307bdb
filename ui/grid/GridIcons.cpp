#include "ui/grid/GridIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace kov {

namespace {

constexpr int kSize = 32;  // drawn large, scaled down into the row height

QPixmap Blank() {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  return pm;
}

QPixmap Ball(const QColor& color) {
  QPixmap pm = Blank();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient g(QPointF(12, 11), 18);
  g.setColorAt(0, color.lighter(190));
  g.setColorAt(0.45, color);
  g.setColorAt(1, color.darker(170));
  p.setBrush(g);
  p.setPen(QPen(color.darker(220), 1.5));
  p.drawEllipse(QRectF(4, 4, 24, 24));
  return pm;
}

QPainterPath StarPath(QPointF c, double outer, double inner) {
  QPainterPath path;
  for (int i = 0; i < 10; ++i) {
    const double r = i % 2 ? inner : outer;
    const double a = -M_PI / 2 + i * M_PI / 5;
    const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    if (i == 0)
      path.moveTo(pt);
    else
      path.lineTo(pt);
  }
  path.closeSubpath();
  return path;
}

void DrawStar(QPainter& p) {
  QLinearGradient g(0, 2, 0, 30);
  g.setColorAt(0, QColor(255, 236, 120));
  g.setColorAt(1, QColor(214, 150, 0));
  p.setBrush(g);
  p.setPen(QPen(QColor(150, 100, 0), 1.5));
  p.drawPath(StarPath(QPointF(16, 17), 15, 6.5));
}

QPixmap Star(bool plus) {
  QPixmap pm = Blank();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  DrawStar(p);
  if (plus) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 90, 0));
    p.drawRoundedRect(QRectF(17, 17, 15, 15), 3, 3);
    p.setBrush(QColor(40, 200, 40));
    p.drawRect(QRectF(23, 19, 3, 11));
    p.drawRect(QRectF(19, 23, 11, 3));
  }
  return pm;
}

QPixmap RemoteAdmin() {
  QPixmap pm = Blank();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A red block, a blue dot above it and a green spike beside it.
  p.setPen(QPen(QColor(110, 0, 0), 1.5));
  p.setBrush(QColor(210, 30, 30));
  p.drawRect(QRectF(4, 16, 16, 13));
  p.setPen(QPen(QColor(0, 0, 110), 1.5));
  p.setBrush(QColor(40, 90, 230));
  p.drawEllipse(QRectF(6, 2, 12, 12));
  QPainterPath spike;
  spike.moveTo(22, 29);
  spike.lineTo(26, 3);
  spike.lineTo(30, 29);
  spike.closeSubpath();
  p.setPen(QPen(QColor(0, 90, 0), 1.2));
  p.setBrush(QColor(40, 190, 40));
  p.drawPath(spike);
  return pm;
}

}  // namespace

const QPixmap& StatusIcon(int status) {
  static const QPixmap kBalls[3] = {Ball(QColor(30, 170, 30)), Ball(QColor(235, 200, 0)),
                                    Ball(QColor(0, 190, 210))};
  static const QPixmap kNone;
  return status >= 0 && status < 3 ? kBalls[status] : kNone;
}

const QPixmap& AccountIconPixmap(AccountIcon icon) {
  static const QPixmap kAdmin = Star(false), kOwner = Star(true), kRemote = RemoteAdmin();
  static const QPixmap kNone;
  switch (icon) {
    case AccountIcon::Admin:
      return kAdmin;
    case AccountIcon::Owner:
      return kOwner;
    case AccountIcon::RemoteAdmin:
      return kRemote;
    case AccountIcon::None:
      break;
  }
  return kNone;
}

}  // namespace kov
