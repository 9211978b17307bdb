#include "ui/widgets/ProgressWindow.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QVBoxLayout>

namespace kov {

namespace {
constexpr int kBarSteps = 1000;  // the bar works in steps, so 64-bit maxima fit
constexpr int kRepaintMs = 30;
}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner) : QDialog(owner) {
  setObjectName("ProgressWindow");
  setWindowTitle(kDefaultTitle);
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* layout = new QVBoxLayout(this);
  m_text = new QLabel(this);
  m_text->setObjectName("ProgressText");
  m_text->setMinimumWidth(320);
  m_bar = new QProgressBar(this);
  m_bar->setObjectName("ProgressBar");
  m_bar->setRange(0, kBarSteps);
  m_bar->setTextVisible(false);
  layout->addWidget(m_text);
  layout->addWidget(m_bar);
  setFixedSize(sizeHint().expandedTo(QSize(360, 90)));
}

void ProgressWindow::SetText(const QString& text) {
  if (m_text->text() == text) return;
  m_text->setText(text);
  Repaint(false);
}

QString ProgressWindow::Text() const { return m_text->text(); }

void ProgressWindow::SetRange(qint64 minimum, qint64 maximum) {
  m_minimum = minimum;
  m_maximum = std::max(minimum, maximum);
  SetPosition(m_minimum);
}

void ProgressWindow::SetPosition(qint64 position) {
  m_position = position;
  const qint64 span = m_maximum - m_minimum;
  const int step = span <= 0
                       ? 0
                       : static_cast<int>((std::clamp(position, m_minimum, m_maximum) - m_minimum) *
                                          kBarSteps / span);
  if (step == m_bar->value()) return;
  m_bar->setValue(step);
  Repaint(false);
}

void ProgressWindow::ShowCentered() {
  if (QWidget* owner = parentWidget()) {
    const QRect r = owner->frameGeometry();
    move(r.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  raise();
  Repaint(true);
}

void ProgressWindow::ShowOverOwner() {
  if (auto* owner = qobject_cast<QMainWindow*>(parentWidget())) {
    for (QWidget* w : {owner->centralWidget(), owner->menuWidget()})
      if (w && w->isEnabled()) {
        w->setEnabled(false);
        m_shut.emplace_back(w);
      }
  }
  setWindowModality(Qt::WindowModal);
  ShowCentered();
}

void ProgressWindow::Close() {
  hide();
  setWindowModality(Qt::NonModal);
  for (const QPointer<QWidget>& w : m_shut)
    if (w) w->setEnabled(true);
  m_shut.clear();
}

void ProgressWindow::Repaint(bool force) {
  if (!isVisible()) return;
  // Painting every line would cost more than the work itself.
  if (!force && m_sincePaint.isValid() && m_sincePaint.elapsed() < kRepaintMs) return;
  m_sincePaint.start();
  repaint();
}

}  // namespace kov
