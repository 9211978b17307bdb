#include "ui/mainwindow/DiskLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace kov {

DiskLog::DiskLog(QString path, qint64 maxBytes) : m_path(std::move(path)), m_maxBytes(maxBytes) {}

bool DiskLog::Append(const QString& text, int icon) {
  if (m_path.isEmpty()) return true;
  const char mark = icon == 2 ? '>' : icon == 1 ? '<' : ' ';
  QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss "));
  line += QLatin1Char(mark);
  line += QLatin1Char(' ');
  for (QChar c : text) line += (c == u'\n' || c == u'\r') ? QChar(u' ') : c;
  line += QLatin1Char('\n');
  const QByteArray bytes = line.toUtf8();

  const QFileInfo info(m_path);
  if (info.exists() && info.size() + bytes.size() > m_maxBytes) {
    const QString older = m_path + QStringLiteral(".1");
    QFile::remove(older);
    QFile::rename(m_path, older);  // if it fails the file grows on: nothing is lost
  }
  QFile file(m_path);
  const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append, ownerOnly)) {
    m_error = file.errorString();
    return false;
  }
  if (file.write(bytes) != bytes.size() || !file.flush()) {
    m_error = file.errorString();
    return false;
  }
  m_error.clear();
  return true;
}

}  // namespace kov
