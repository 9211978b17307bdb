#pragma once

#include <QFrame>
#include <QImage>
#include <QWidget>

class QTextEdit;

namespace kov {

class EditPopup;

// The title bar above the log: paints f1_Log_Title and resizes the log by dragging.
class LogTitleBar : public QFrame {
  Q_OBJECT

 public:
  explicit LogTitleBar(QWidget* parent = nullptr);

 signals:
  void Dragged(int deltaY);  // positive: the mouse moved down

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool m_dragging = false;
  int m_lastY = 0;
};

// The log below the grid: the title bar "Splitter1" and the read-only rich-text
// pane "Logfile". Lines live only in the window.
class LogPane : public QWidget {
  Q_OBJECT

 public:
  enum Icon { IconInfo = 0, IconIn = 1, IconOut = 2 };
  static constexpr int kTitleBarHeight = 20;
  static constexpr int kDefaultLogHeight = 100;

  explicit LogPane(QWidget* parent = nullptr);

  // One line: the icon, a blank, the text. Unknown icon numbers are drawn as the info icon.
  void AddLogLine(const QString& text, int icon);
  // The title is painted from UiText: a new language needs a repaint, not a resize.
  void ApplyUiText();

  // Height of the pane "Logfile" alone (LOGH), kept while hidden.
  int LogHeight() const { return m_logHeight; }
  void SetLogHeight(int height);

  // Shows or hides bar and pane together (mViewLog / SHOWLOG).
  void SetLogShown(bool shown);
  bool IsLogShown() const { return m_shown; }

  // The context menu of the pane; owned elsewhere since the text fields share it.
  void SetEditPopup(EditPopup* popup);

  QTextEdit* Logfile() const { return m_logfile; }
  LogTitleBar* TitleBar() const { return m_splitter; }
  int LineCount() const;
  QString LineText(int line) const;  // the line as shown, without the icon
  int LineIcon(int line) const;      // icon in front of the line, -1 when none

  static QImage IconImage(int icon);  // 16 x 16, on black

 signals:
  void LogHeightChanged(int height);

 private:
  void DragBy(int deltaY);

  LogTitleBar* m_splitter = nullptr;
  QTextEdit* m_logfile = nullptr;
  EditPopup* m_popup = nullptr;
  int m_logHeight = kDefaultLogHeight;
  bool m_shown = true;
};

}  // namespace kov
