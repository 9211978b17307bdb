#include "ui/main/GridDelegate.h"

#include <QPainter>

#include "ui/main/AccountModel.h"
#include "ui/main/GridIcons.h"

namespace kov {

GridDelegate::GridDelegate(AccountModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model) {}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (m_noText) option->text.clear();
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  const RowId row = m_model.RowAt(index.row());
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
