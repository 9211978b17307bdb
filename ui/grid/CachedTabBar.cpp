#include "ui/grid/CachedTabBar.h"

#include <QDataStream>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <algorithm>

namespace kov {

namespace {
constexpr size_t kPictures = 16;
}

CachedTabBar::CachedTabBar(QWidget* parent) : QTabBar(parent) {
  // A widget cannot render itself while it paints, so the new state's picture is taken
  // here, between the change and the paint it asks for.
  connect(this, &QTabBar::currentChanged, this, &CachedTabBar::Capture);
}

QByteArray CachedTabBar::StateKey() const {
  QByteArray key;
  QDataStream out(&key, QIODevice::WriteOnly);
  out << size() << devicePixelRatioF() << quintptr(style()) << font().key() << palette().cacheKey()
      << int(layoutDirection()) << isEnabled() << isActiveWindow() << hasFocus() << currentIndex()
      << count() << drawBase() << int(shape()) << documentMode();
  for (int i = 0; i < count(); ++i) {
    QStyleOptionTab tab;
    initStyleOption(&tab, i);
    out << tab.rect << int(tab.state) << tab.text << tab.icon.cacheKey() << tab.iconSize
        << int(tab.position) << int(tab.selectedPosition) << int(tab.cornerWidgets)
        << int(tab.features) << tab.leftButtonSize << tab.rightButtonSize << tab.row
        << int(tab.shape) << tab.documentMode << tab.tabIndex << tab.palette.cacheKey()
        << tab.fontMetrics.height() << tab.fontMetrics.averageCharWidth();
  }
  return key;
}

std::vector<CachedTabBar::Picture>::iterator CachedTabBar::Find(const QByteArray& key) {
  return std::find_if(m_pictures.begin(), m_pictures.end(),
                      [&](const Picture& p) { return p.key == key; });
}

void CachedTabBar::paintEvent(QPaintEvent* event) {
  if (!m_capturing) {
    const auto it = Find(StateKey());
    if (it != m_pictures.end()) {
      std::rotate(m_pictures.begin(), it, it + 1);
      const qreal ratio = devicePixelRatioF();
      const QRect area = event->rect();
      QPainter painter(this);
      painter.drawPixmap(area, m_pictures.front().pixmap,
                         QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
      return;
    }
  }
  QTabBar::paintEvent(event);
}

void CachedTabBar::Capture() {
  if (!isVisible() || size().isEmpty()) return;
  QByteArray key = StateKey();
  if (Find(key) != m_pictures.end()) return;
  const qreal ratio = devicePixelRatioF();
  QPixmap pixmap(size() * ratio);
  pixmap.setDevicePixelRatio(ratio);
  // The bar on the window's background, as it stands on the window: the picture is then
  // the very pixels the bar paints there. Its scroll buttons paint themselves.
  m_capturing = true;
  render(&pixmap, QPoint(), QRegion(rect()), QWidget::DrawWindowBackground);
  m_capturing = false;
  if (m_pictures.size() == kPictures) m_pictures.pop_back();
  m_pictures.insert(m_pictures.begin(), Picture{std::move(key), std::move(pixmap)});
}

}  // namespace kov
