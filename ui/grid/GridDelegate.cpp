#include "ui/grid/GridDelegate.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QtMath>

#include "ui/grid/AccountModel.h"
#include "ui/grid/GridIcons.h"

namespace kov {

GridDelegate::GridDelegate(AccountModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model) {}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (m_noText) option->text.clear();
}

const QPixmap& GridDelegate::Fitted(const QPixmap& icon, int height, qreal ratio) const {
  const auto key = std::make_tuple(icon.cacheKey(), height, ratio);
  auto it = m_fitted.find(key);
  if (it == m_fitted.end()) {
    // Drawn as a cell draws it, so the fitted copy gives the same pixels.
    const int side = qCeil(height * ratio);
    QPixmap fitted(side, side);
    fitted.setDevicePixelRatio(ratio);
    fitted.fill(Qt::transparent);
    QPainter p(&fitted);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRect(0, 0, height, height), icon);
    p.end();
    it = m_fitted.emplace(key, std::move(fitted)).first;
  }
  return it->second;
}

void GridDelegate::PaintPlain(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index, const QPixmap* icon) const {
  const QWidget* widget = option.widget;
  const QStyle* style = widget ? widget->style() : QApplication::style();
  // The style paints a background only for a selected, hovered or alternate cell; the
  // others show the view's own, and need neither the style nor the model's roles.
  if ((option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) ||
      (option.features & QStyleOptionViewItem::Alternate)) {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
  }
  const QRect cell = option.rect;
  const int h = cell.height();
  if (icon && !icon->isNull())
    painter->drawPixmap(cell.left(), cell.top(),
                        Fitted(*icon, h, painter->device()->devicePixelRatioF()));
  const int column = index.column();
  const QString text = m_model.CellText(m_model.RowAt(index.row()), column);
  if (text.isEmpty()) return;
  // What the model's font, foreground and alignment roles say, without asking for them.
  const bool link = column == AccountModel::ColEMail;
  const bool number = AccountModel::IsNumberColumn(column);
  if (link && m_linkBase != option.font) {
    m_linkBase = option.font;
    m_linkFont = option.font;
    m_linkFont.setUnderline(true);
  }
  const QFont& font = link ? m_linkFont : option.font;
  QPalette::ColorGroup cg =
      option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  if (cg == QPalette::Normal && !(option.state & QStyle::State_Active)) cg = QPalette::Inactive;
  QColor color;
  if (option.state & QStyle::State_Selected)
    color = option.palette.color(cg, QPalette::HighlightedText);
  else if (link)
    color = QGuiApplication::palette().color(QPalette::Link);
  else
    color = option.palette.color(cg, QPalette::Text);
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  QRect textRect = cell.adjusted(margin, 0, -margin, 0);
  if (icon) textRect.setLeft(cell.left() + h + margin);
  const QFontMetrics fm(font);
  int x = textRect.left();
  if (number) x = textRect.right() + 1 - fm.horizontalAdvance(text);
  const int y = textRect.top() + (textRect.height() - fm.height()) / 2 + fm.ascent();
  painter->save();
  painter->setClipRect(cell, Qt::IntersectClip);
  painter->setPen(color);
  painter->setFont(font);
  painter->drawText(QPoint(x, y), text);
  painter->restore();
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  const RowId row = m_model.RowAt(index.row());
  // The focused cell keeps the style's own drawing, focus frame and all.
  if (!(option.state & QStyle::State_HasFocus)) {
    const AccountTable& t = m_model.Table();
    if (index.column() == AccountModel::ColStatus) {
      const auto status = t.Int(row, dbstatus);
      PaintPlain(painter, option, index, &StatusIcon(status ? *status : -1));
      return;
    }
    const AccountIcon icon = index.column() == AccountModel::ColAccount
                                 ? AccountModel::IconOf(t, row)
                                 : AccountIcon::None;
    PaintPlain(painter, option, index,
               icon == AccountIcon::None ? nullptr : &AccountIconPixmap(icon));
    return;
  }
  const QRect cell = option.rect;
  const int h = cell.height();
  const QRect square(cell.left(), cell.top(), h, h);
  const AccountTable& table = m_model.Table();
  if (index.column() == AccountModel::ColStatus) {
    QStyledItemDelegate::paint(painter, option, index);
    const auto status = table.Int(row, dbstatus);
    const QPixmap& pm = StatusIcon(status ? *status : -1);
    if (!pm.isNull()) {
      painter->save();
      painter->setRenderHint(QPainter::SmoothPixmapTransform);
      painter->drawPixmap(square, pm);
      painter->restore();
    }
    return;
  }
  const AccountIcon icon = index.column() == AccountModel::ColAccount
                               ? AccountModel::IconOf(table, row)
                               : AccountIcon::None;
  if (icon == AccountIcon::None) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  m_noText = true;
  QStyledItemDelegate::paint(painter, option, index);
  m_noText = false;
  painter->save();
  painter->setRenderHint(QPainter::SmoothPixmapTransform);
  painter->drawPixmap(square, AccountIconPixmap(icon));
  painter->restore();
  QStyleOptionViewItem shifted(option);
  shifted.rect.setLeft(cell.left() + h);
  QStyledItemDelegate::paint(painter, shifted, index);
}

}  // namespace kov
