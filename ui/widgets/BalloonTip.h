#pragma once
// A tip pointing at a widget: a bold header, a text and a close button; it closes itself
// after a while. A child of the target's window, so no window manager is involved.
#include <QFrame>
#include <QPointer>

class QLabel;
class QTimer;

namespace kov {

class BalloonTip : public QFrame {
  Q_OBJECT

 public:
  BalloonTip(QWidget* target, const QString& header, const QString& text, int closeAfterMs);
  QLabel* Header() const { return m_header; }
  QLabel* Text() const { return m_text; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Place();

  QPointer<QWidget> m_target;
  QLabel* m_header = nullptr;
  QLabel* m_text = nullptr;
};

}  // namespace kov
