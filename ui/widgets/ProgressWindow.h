#pragma once
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <vector>

class QLabel;
class QProgressBar;

namespace kov {

// The small modeless progress window every long operation uses. It repaints itself
// without running the rest of the event loop, so the operator cannot act meanwhile.
class ProgressWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kDefaultTitle = "Vornex Account Manager";

  explicit ProgressWindow(QWidget* owner);

  void SetText(const QString& text);
  QString Text() const;
  void SetRange(qint64 minimum, qint64 maximum);
  void SetPosition(qint64 position);
  qint64 Position() const { return m_position; }
  qint64 Maximum() const { return m_maximum; }
  void ShowCentered();  // centred on the owner window
  // As ShowCentered, and the owner window stays on screen shut to input (greyed) until
  // Close: an operation that waits on the server runs the event loop meanwhile.
  void ShowOverOwner();
  void Close();

 private:
  void Repaint(bool force);

  QLabel* m_text = nullptr;
  QProgressBar* m_bar = nullptr;
  qint64 m_minimum = 0;
  qint64 m_maximum = 100;
  qint64 m_position = 0;
  QElapsedTimer m_sincePaint;
  std::vector<QPointer<QWidget>> m_shut;  // what ShowOverOwner disabled
};

}  // namespace kov
