#pragma once
#include <QLabel>

namespace kov {

// A label for a value that changes often: the editor panel's connection data, the status
// bar's counts. Its width follows the widest value it has shown and is otherwise fixed: a
// label that fits each new text makes the layout around it run again, and repaint what
// moves, on almost every change. A selectable QLabel also measures and draws its text
// through a text document; this one measures with the font's metrics and draws directly
// while nothing of it is selected.
class ValueLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ValueLabel(QWidget* parent = nullptr, int minimumWidth = 0);

  void SetValue(const QString& value);

  QSize sizeHint() const override { return minimumSize(); }
  QSize minimumSizeHint() const override { return minimumSize(); }

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Fit();

  int m_minimumWidth;
  int m_width = 0;
};

}  // namespace kov
