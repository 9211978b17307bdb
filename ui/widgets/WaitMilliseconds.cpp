#include "ui/widgets/WaitMilliseconds.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace kov {

void WaitMilliseconds(int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  // A nested loop sleeps until the timer fires instead of spinning; the elapsed-time check
  // guards against a timer that fires a little early.
  for (qint64 left = milliseconds; left > 0; left = milliseconds - clock.elapsed()) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
  }
}

}  // namespace kov
