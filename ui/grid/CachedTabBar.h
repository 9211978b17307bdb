#pragma once
#include <QPixmap>
#include <QTabBar>
#include <vector>

namespace kov {

// A tab bar that keeps the pictures of the last states it has shown. The style draws every
// tab anew whenever the current tab changes, which costs as much as painting the grid's new
// rows; the operator moves among a few tabs, so the same pictures recur. A state is keyed
// by everything the style is given to draw each tab, so a picture is never shown for a
// state that would look different.
class CachedTabBar : public QTabBar {
  Q_OBJECT

 public:
  explicit CachedTabBar(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QByteArray StateKey() const;
  void Capture();

  struct Picture {
    QByteArray key;
    QPixmap pixmap;
  };
  std::vector<Picture>::iterator Find(const QByteArray& key);
  std::vector<Picture> m_pictures;  // most recently shown first
  bool m_capturing = false;
};

}  // namespace kov
