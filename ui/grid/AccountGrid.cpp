#include "ui/grid/AccountGrid.h"

#include <qdrawutil.h>

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "ui/grid/AccountModel.h"
#include "ui/grid/AccountSorter.h"
#include "ui/grid/GridDelegate.h"

namespace kov {

const int AccountGrid::kDesignWidths[7] = {15, 129, 129, 92, 193, 0, 28};

// --- titles ---------------------------------------------------------------------------

TitleHeader::TitleHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setObjectName(QStringLiteral("JvDBGrid1Titles"));
  setSectionsClickable(true);
  setSectionsMovable(false);
  setHighlightSections(false);
  setMinimumSectionSize(1);
  setSectionResizeMode(QHeaderView::Fixed);
  setStretchLastSection(false);
  setFixedHeight(kHeight);
}

QSize TitleHeader::sizeHint() const { return {QHeaderView::sizeHint().width(), kHeight}; }

// Every filter change resets the model's rows; the columns stay as they are, and the titles
// need not be laid out and painted again for it.
void TitleHeader::reset() {
  if (model() && count() == model()->columnCount(rootIndex())) return;
  QHeaderView::reset();
}

// The titles share the grid's selection but show nothing of it: a new current row, which
// selects a whole row, would otherwise repaint every title.
QRegion TitleHeader::visualRegionForSelection(const QItemSelection& selection) const {
  if (!highlightSections()) return {};
  return QHeaderView::visualRegionForSelection(selection);
}

void TitleHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  if (!rect.isValid()) return;
  painter->save();
  painter->fillRect(rect, QColor(166, 202, 240));
  qDrawShadePanel(painter, rect, palette(), false, 1);
  QRect textRect = rect.adjusted(3, 0, -3, 0);
  if (isSortIndicatorShown() && sortIndicatorSection() == logicalIndex && rect.width() > 16) {
    const int a = std::min(rect.height() - 8, 7);
    const int x = rect.right() - 4 - a;
    const int y = rect.center().y() - a / 2;
    QPolygon tri;
    if (sortIndicatorOrder() == Qt::AscendingOrder)
      tri << QPoint(x, y + a) << QPoint(x + a, y + a) << QPoint(x + a / 2, y);
    else
      tri << QPoint(x, y) << QPoint(x + a, y) << QPoint(x + a / 2, y + a);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(60, 60, 60));
    painter->drawPolygon(tri);
    painter->setRenderHint(QPainter::Antialiasing, false);
    textRect.setRight(x - 2);
  }
  const QString text =
      model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  painter->setPen(palette().color(QPalette::ButtonText));
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                    fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
  painter->restore();
}

// --- grid -----------------------------------------------------------------------------

AccountGrid::AccountGrid(AccountModel& model, QWidget* parent)
    : QTableView(parent),
      m_model(model),
      m_table(model.Table()),
      m_sortColumn(AccountModel::ColAccount) {
  setObjectName(QStringLiteral("JvDBGrid1"));
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseSensitive);
  m_sortKeys = std::make_unique<SortKeyCache>(collator);
  m_header = new TitleHeader(this);
  setHorizontalHeader(m_header);
  setModel(&m_model);
  m_delegate = new GridDelegate(m_model, this);
  setItemDelegate(m_delegate);
  m_header->setSortIndicator(AccountModel::ColAccount, Qt::AscendingOrder);
  // The view hides the marker along with its own sorting, which stays off: the title clicks
  // sort the table.
  m_header->setSortIndicatorShown(true);
  setColumnHidden(AccountModel::ColPriv, true);

  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFocusPolicy(Qt::ClickFocus);  // not a tab stop
  // The lines keep their place between the cells, but paintEvent draws them as filled
  // rectangles: the view's own pen strokes them pixel by pixel, a sixth of a repaint.
  setShowGrid(true);
  setGridStyle(Qt::NoPen);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  // The selection stays as visible when the grid has lost the focus.
  QPalette pal = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
  setPalette(pal);

  m_menu = new QMenu(this);
  m_menu->setObjectName(QStringLiteral("PopupMenu1"));

  connect(m_header, &QHeaderView::sectionClicked, this, &AccountGrid::TitleClick);
  // The grid's current row is the table's current row, in both directions.
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid() && current.row() != m_table.CurrentIndex())
              m_table.SetCurrentIndex(current.row());
          });
  connect(&m_model, &AccountModel::CurrentRowChanged, this, [this] {
    const int index = m_table.CurrentIndex();
    if (index < 0) return;
    if (currentIndex().row() != index) {
      const int column =
          currentIndex().isValid() ? currentIndex().column() : AccountModel::ColAccount;
      selectionModel()->setCurrentIndex(
          m_model.index(index, column),
          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
  });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &AccountGrid::SyncMarks);
  // A reset or a removal drops rows from the selection without a signal.
  connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    for (RowId r : m_marked) m_table.SetMarked(r, false);
    m_marked.clear();
  });
  connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
    if (m_table.RowCount() == 0) m_sortKeys->Clear();  // emptied: ids and buffers start again
  });
  connect(&m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex&, int first, int last) {
            for (int r = first; r <= last; ++r) m_table.SetMarked(m_model.RowAt(r), false);
          });
}

AccountGrid::~AccountGrid() = default;

void AccountGrid::SetCollator(const QCollator& collator) {
  m_sortKeys = std::make_unique<SortKeyCache>(collator);
}

void AccountGrid::SetMenuActions(QAction* newAccount, QAction* deleteAccount, QAction* sendEmail) {
  m_menu->clear();
  m_menu->addAction(newAccount);
  m_menu->addSeparator();
  m_menu->addAction(deleteAccount);
  m_menu->addAction(sendEmail);
}

void AccountGrid::SyncMarks(const QItemSelection& selected, const QItemSelection& deselected) {
  for (const QItemSelectionRange& range : deselected)
    for (int r = range.top(); r <= range.bottom(); ++r) m_table.SetMarked(m_model.RowAt(r), false);
  for (const QItemSelectionRange& range : selected) {
    for (int r = range.top(); r <= range.bottom(); ++r) {
      const RowId row = m_model.RowAt(r);
      if (!m_table.IsMarked(row)) m_marked.push_back(row);
      m_table.SetMarked(row, true);
    }
  }
  if (m_marked.size() > static_cast<size_t>(m_table.RowCount()) + 64) {
    std::erase_if(m_marked, [this](RowId r) { return !m_table.IsMarked(r); });
  }
}

void AccountGrid::ClearMultiSelection() {
  const int index = m_table.CurrentIndex();
  if (index < 0) {
    clearSelection();
    return;
  }
  const int column = currentIndex().isValid() ? currentIndex().column() : AccountModel::ColAccount;
  selectionModel()->setCurrentIndex(
      m_model.index(index, column),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<RowId> AccountGrid::SelectedRows() const {
  // From the ranges: selectedRows() asks every range about every row, 2.7 s for 10,000
  // scattered rows. The grid selects whole rows only.
  std::vector<int> rows;
  for (const QItemSelectionRange& range : selectionModel()->selection())
    for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  std::vector<RowId> out;
  out.reserve(rows.size());
  for (int r : rows) out.push_back(m_model.RowAt(r));
  return out;
}

int AccountGrid::HighlightedCount() const {
  int n = 0;
  for (const QItemSelectionRange& range : selectionModel()->selection()) n += range.height();
  return n;
}

void AccountGrid::HighlightRows(const std::vector<RowId>& rows) {
  std::vector<int> indices;
  indices.reserve(rows.size());
  for (RowId row : rows)
    if (const int i = m_table.ViewIndexOf(row); i >= 0) indices.push_back(i);
  std::sort(indices.begin(), indices.end());
  QItemSelection selection;
  const int lastColumn = m_model.columnCount() - 1;
  for (size_t i = 0; i < indices.size();) {
    size_t j = i;
    while (j + 1 < indices.size() && indices[j + 1] <= indices[j] + 1) ++j;
    selection.append(
        QItemSelectionRange(m_model.index(indices[i], 0), m_model.index(indices[j], lastColumn)));
    i = j + 1;
  }
  const int current = m_table.CurrentIndex();
  if (current >= 0 && currentIndex().row() != current)
    selectionModel()->setCurrentIndex(m_model.index(current, AccountModel::ColAccount),
                                      QItemSelectionModel::NoUpdate);
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void AccountGrid::TitleClick(int column) {
  if (column < 0 || column >= AccountModel::kColumnCount || isColumnHidden(column)) return;
  if (column != m_sortColumn) {
    m_sortColumn = column;
    m_sortDescending = false;
  } else {
    m_sortDescending = !m_sortDescending;
  }
  m_header->setSortIndicator(column, m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
  m_table.SetOrder(
      SortedOrder(m_table, AccountModel::FieldOfColumn(column), m_sortDescending, *m_sortKeys));
  m_table.First();
  emit Sorted();
}

void AccountGrid::PrepareSortKeys() {
  if (m_table.RowCount() > 0)
    kov::PrepareSortKeys(m_table, AccountModel::FieldOfColumn(m_sortColumn), *m_sortKeys);
}

void AccountGrid::ScaleColumns() {
  const int client = viewport()->width();
  int sum = 0, last = -1;
  for (int c = 0; c < AccountModel::kColumnCount; ++c) {
    if (isColumnHidden(c)) continue;
    sum += kDesignWidths[c];
    last = c;
  }
  if (sum <= 0 || client <= 0) return;
  int used = 0;
  for (int c = 0; c < last; ++c) {
    if (isColumnHidden(c)) continue;
    const int w =
        std::max(1, static_cast<int>(std::lround(double(kDesignWidths[c]) * client / sum)));
    if (columnWidth(c) != w) setColumnWidth(c, w);
    used += w;
  }
  const int rest = std::max(1, client - used);
  if (columnWidth(last) != rest) setColumnWidth(last, rest);
}

QString AccountGrid::CellHint(const QPoint& pos) const {
  const QModelIndex index = indexAt(pos);
  if (!index.isValid()) return {};
  if (index.column() == AccountModel::ColStatus) {
    const QString word = m_model.data(index, Qt::ToolTipRole).toString();
    if (!word.isEmpty()) return word;
  }
  const QString text = m_model.data(index, Qt::DisplayRole).toString();
  if (text.isEmpty()) return {};
  QFont f = font();
  const QVariant fontRole = m_model.data(index, Qt::FontRole);
  if (fontRole.isValid()) f = qvariant_cast<QFont>(fontRole);
  const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  int needed = QFontMetrics(f).horizontalAdvance(text) + 2 * margin;
  if (index.column() == AccountModel::ColAccount &&
      AccountModel::IconOf(m_table, m_model.RowAt(index.row())) != AccountIcon::None)
    needed += rowHeight(index.row());
  return needed > columnWidth(index.column()) ? text : QString();
}

bool AccountGrid::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString hint = CellHint(help->pos());
    if (hint.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), hint, viewport(), visualRect(indexAt(help->pos())));
    }
    return true;
  }
  const bool result = QTableView::viewportEvent(event);
  if (event->type() == QEvent::Resize) ScaleColumns();
  return result;
}

void AccountGrid::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  QHeaderView* rows = verticalHeader();
  QHeaderView* columns = horizontalHeader();
  if (rows->count() == 0 || columns->count() == 0) return;
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QColor color = QColor::fromRgba(
      static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this)));
  // The lines of the cells' right and bottom edges, within the table's extent.
  const int right = columns->length() - columns->offset() - 1;
  const int bottom = rows->length() - rows->offset() - 1;
  QPainter painter(viewport());
  // Calls `line` with the last pixel of each shown section between `from` and `to`.
  auto sectionEnds = [](QHeaderView* header, int from, int to, auto&& line) {
    const int first = header->visualIndexAt(from);
    int last = header->visualIndexAt(to);
    if (last < 0) last = header->count() - 1;
    for (int v = std::max(first, 0); v <= last; ++v) {
      const int section = header->logicalIndex(v);
      if (!header->isSectionHidden(section))
        line(header->sectionViewportPosition(section) + header->sectionSize(section) - 1);
    }
  };
  for (QRect area : event->region()) {
    area.setRight(std::min(area.right(), right));
    area.setBottom(std::min(area.bottom(), bottom));
    if (area.isEmpty()) continue;
    sectionEnds(rows, area.top(), area.bottom(),
                [&](int y) { painter.fillRect(QRect(area.left(), y, area.width(), 1), color); });
    sectionEnds(columns, area.left(), area.right(),
                [&](int x) { painter.fillRect(QRect(x, area.top(), 1, area.height()), color); });
  }
}

void AccountGrid::contextMenuEvent(QContextMenuEvent* event) {
  if (!m_menu->isEmpty()) m_menu->popup(event->globalPos());
  event->accept();
}

QItemSelectionModel::SelectionFlags AccountGrid::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
  if (event && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier) {
      switch (key->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
          return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        default:
          break;
      }
    }
  }
  return QTableView::selectionCommand(index, event);
}

}  // namespace kov
