#pragma once
// kov.log: every line of the log pane, with date and time, kept on disk after the window
// closes, so that what the program sent and wrote can be traced afterwards. The pane's lines
// never hold a password, and neither does this file; it is still the owner's alone, like
// kov.ini. The file is opened for each line: lines are few, and nothing stays locked.
#include <QString>

namespace kov {

class DiskLog {
 public:
  static constexpr qint64 kDefaultMaxBytes = 4 * 1024 * 1024;

  // `path` empty: nothing is written.
  explicit DiskLog(QString path = {}, qint64 maxBytes = kDefaultMaxBytes);

  // Appends "yyyy-MM-dd hh:mm:ss M text" (M: ">" sent or written, "<" received, " " info).
  // A file grown beyond the limit becomes `path.1` (replacing the older one) first. False
  // when the line could not be written; the reason is in LastError().
  bool Append(const QString& text, int icon);

  QString Path() const { return m_path; }
  QString LastError() const { return m_error; }

 private:
  QString m_path;
  qint64 m_maxBytes;
  QString m_error;
};

}  // namespace kov
