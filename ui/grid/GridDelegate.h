#pragma once
#include <QFont>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <map>
#include <tuple>

namespace kov {

class AccountModel;

// Draws the status column as a ball and puts the owner, administrator and remote
// administrator marks before the account names.
class GridDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit GridDelegate(AccountModel& model, QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

 private:
  // The cell as the style draws it (its background and selection), with the text drawn in
  // one pass rather than the style's measuring, eliding and laying out. With `icon`, the
  // icon fills the cell's left square and the text stands right of it.
  void PaintPlain(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                  const QPixmap* icon) const;

 private:
  // The icon at the cell's height, scaled once instead of in every paint.
  const QPixmap& Fitted(const QPixmap& icon, int height, qreal ratio) const;

  AccountModel& m_model;
  mutable bool m_noText = false;
  mutable QFont m_linkBase, m_linkFont;  // the e-mail column's underlined font, and its base
  mutable std::map<std::tuple<qint64, int, qreal>, QPixmap> m_fitted;
};

}  // namespace kov
