#include "ui/mainwindow/LogPane.h"

#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextImageFormat>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"

namespace kov {
namespace {

constexpr int kMinDragHeight = 30;
constexpr int kMaxLogHeight = 4000;
const QString kIconScheme = QStringLiteral("kovlog");

QFont TahomaFont() {
  QFont f(QStringLiteral("Tahoma"));
  f.setStyleHint(QFont::SansSerif);  // where Tahoma is missing, a sans font stands in
  return f;
}

QUrl IconUrl(int icon) { return QUrl(QStringLiteral("%1:icon%2").arg(kIconScheme).arg(icon)); }

QImage DrawInfo() {
  QImage img(16, 16, QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // short grey rays
  p.setPen(QPen(QColor(150, 150, 150), 1));
  const QPointF c(8, 8);
  for (int i = 0; i < 8; ++i) {
    const qreal a = i * M_PI / 4.0;
    const QPointF dir(std::cos(a), std::sin(a));
    p.drawLine(c + dir * 6.0, c + dir * 7.5);
  }
  // blue lower-case i
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 90, 255));
  p.drawEllipse(QPointF(8, 4.5), 1.6, 1.6);
  p.drawRoundedRect(QRectF(6.7, 7, 2.6, 6), 0.8, 0.8);
  return img;
}

QImage DrawArrow(bool right) {
  if (!right) return DrawArrow(true).mirrored(true, false);
  QImage img(16, 16, QImage::Format_RGB32);
  img.fill(Qt::black);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath path;
  const QPointF pts[] = {{1.5, 5.5}, {8, 5.5}, {8, 2}, {14.5, 8}, {8, 14}, {8, 10.5}, {1.5, 10.5}};
  path.moveTo(pts[0]);
  for (int i = 1; i < 7; ++i) path.lineTo(pts[i]);
  path.closeSubpath();
  p.setPen(QPen(QColor(30, 60, 200), 1.2));
  p.setBrush(QColor(255, 220, 0));
  p.drawPath(path);
  return img;
}

}  // namespace

LogTitleBar::LogTitleBar(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Splitter1"));
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setFixedHeight(LogPane::kTitleBarHeight);
  setCursor(Qt::SizeVerCursor);
}

void LogTitleBar::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  QFont f = TahomaFont();
  f.setPointSize(8);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::black);
  const QFontMetrics fm(f);
  p.drawText(QPoint(5, 3 + fm.ascent()), Ui("f1_Log_Title"));
}

void LogTitleBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QFrame::mousePressEvent(event);
    return;
  }
  m_dragging = true;
  m_lastY = qRound(event->globalPosition().y());
}

void LogTitleBar::mouseMoveEvent(QMouseEvent* event) {
  if (!m_dragging) return;
  const int y = qRound(event->globalPosition().y());
  if (y != m_lastY) {
    emit Dragged(y - m_lastY);
    m_lastY = y;
  }
}

void LogTitleBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_dragging = false;
  QFrame::mouseReleaseEvent(event);
}

LogPane::LogPane(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("LogPane"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  m_splitter = new LogTitleBar(this);
  layout->addWidget(m_splitter);

  m_logfile = new QTextEdit(this);
  m_logfile->setObjectName(QStringLiteral("Logfile"));
  m_logfile->setReadOnly(true);
  m_logfile->setAcceptRichText(false);
  m_logfile->setLineWrapMode(QTextEdit::NoWrap);
  m_logfile->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_logfile->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_logfile->setUndoRedoEnabled(false);
  m_logfile->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QPalette pal = m_logfile->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, Qt::black);
    pal.setColor(group, QPalette::Text, Qt::yellow);
  }
  m_logfile->setPalette(pal);
  QFont f = TahomaFont();
  f.setPixelSize(13);
  m_logfile->setFont(f);
  m_logfile->document()->setDefaultFont(f);
  m_logfile->document()->setDocumentMargin(2);
  for (int i = 0; i < 3; ++i)
    m_logfile->document()->addResource(QTextDocument::ImageResource, IconUrl(i), IconImage(i));
  m_logfile->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_logfile, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (m_popup) m_popup->PopupFor(m_logfile, m_logfile->viewport()->mapToGlobal(pos));
  });
  layout->addWidget(m_logfile);

  connect(m_splitter, &LogTitleBar::Dragged, this, &LogPane::DragBy);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  SetLogHeight(kDefaultLogHeight);
}

QImage LogPane::IconImage(int icon) {
  switch (icon) {
    case IconIn:
      return DrawArrow(false);
    case IconOut:
      return DrawArrow(true);
    default:
      return DrawInfo();
  }
}

void LogPane::AddLogLine(const QString& text, int icon) {
  if (icon < IconInfo || icon > IconOut) icon = IconInfo;
  QString line = u' ' + text;
  // One entry, one line: a line end inside the text (a path may hold one) becomes a blank.
  for (QChar& c : line) {
    if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
      c = u' ';
  }

  QTextDocument* doc = m_logfile->document();
  QTextCursor cursor(doc);
  cursor.movePosition(QTextCursor::End);
  const bool first = doc->isEmpty() && doc->blockCount() == 1;
  if (!first) cursor.insertBlock();
  const int lineStart = cursor.position();

  QTextCharFormat textFormat;
  textFormat.setForeground(Qt::yellow);
  cursor.insertText(line, textFormat);

  cursor.setPosition(lineStart);
  QTextImageFormat image;
  image.setName(IconUrl(icon).toString());
  image.setWidth(16);
  image.setHeight(16);
  image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
  cursor.insertImage(image);

  QTextCursor caret(doc);
  caret.setPosition(lineStart + 1);
  m_logfile->setTextCursor(caret);
  m_logfile->ensureCursorVisible();
}

int LogPane::LineCount() const {
  const QTextDocument* doc = m_logfile->document();
  if (doc->isEmpty()) return 0;
  return doc->blockCount();
}

QString LogPane::LineText(int line) const {
  const QTextBlock block = m_logfile->document()->findBlockByNumber(line);
  if (!block.isValid()) return {};
  QString text = block.text();
  if (text.startsWith(QChar::ObjectReplacementCharacter)) text.remove(0, 1);
  return text;
}

int LogPane::LineIcon(int line) const {
  const QTextBlock block = m_logfile->document()->findBlockByNumber(line);
  if (!block.isValid()) return -1;
  const QTextBlock::iterator it = block.begin();
  if (it.atEnd()) return -1;
  const QTextFragment frag = it.fragment();
  if (!frag.charFormat().isImageFormat()) return -1;
  const QString name = frag.charFormat().toImageFormat().name();
  for (int i = 0; i < 3; ++i) {
    if (name == IconUrl(i).toString()) return i;
  }
  return -1;
}

void LogPane::SetLogHeight(int height) {
  m_logHeight = qBound(0, height, kMaxLogHeight);
  m_logfile->setFixedHeight(m_logHeight);
  setFixedHeight(m_logHeight + kTitleBarHeight);
  emit LogHeightChanged(m_logHeight);
}

void LogPane::DragBy(int deltaY) {
  // The bar sits above the log: dragging it up makes the log taller. It never snaps shut,
  // and it leaves the window's other parts some room.
  int maxHeight = kMaxLogHeight;
  if (QWidget* p = parentWidget())
    maxHeight = qMax(kMinDragHeight, p->height() / 2 + p->height() / 4);
  int wanted = m_logHeight - deltaY;
  if (deltaY < 0)
    wanted = qMin(wanted, qMax(maxHeight, m_logHeight));
  else
    wanted = qMax(wanted, qMin(kMinDragHeight, m_logHeight));
  if (wanted != m_logHeight) SetLogHeight(wanted);
}

void LogPane::SetLogShown(bool shown) {
  m_shown = shown;
  if (shown) {
    m_logfile->show();
    m_splitter->show();
    show();
  } else {
    m_splitter->hide();
    m_logfile->hide();
    hide();
  }
}

void LogPane::SetEditPopup(EditPopup* popup) { m_popup = popup; }

void LogPane::ApplyUiText() { m_splitter->update(); }

}  // namespace kov
