// The search field with many accounts: one keystroke's re-filter (the field's text applied,
// every row judged again, the grid repainted) against the time the account file reader takes
// for the same file in the same run (target: at most 0.1 of the read time), and against
// `grep -ci` over the same file as a plain tool.
//
//   kov-bench-ui_search [--accounts N] [--runs N]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "store/AccountTable.h"
#include "store/ReadAcc.h"
#include "ui/main/AccountGrid.h"
#include "ui/main/ExtraCommands.h"
#include "ui/main/Notice.h"
#include "ui/main/SearchField.h"
#include "ui/main/TForm1.h"

extern char** environ;

namespace {

// Wall-clock time: the account file is read by two threads at once, so the reading
// thread's processor time would understate how long a read takes. Run on a quiet machine.
double WallMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int Run(const std::vector<std::string>& args, const char* out = nullptr) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (out) posix_spawn_file_actions_addopen(&fa, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int accounts = 100000, runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--accounts") && i + 1 < argc) accounts = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: kov-bench-ui_search [--accounts N] [--runs N]\n");
      return 2;
    }
  }
  QApplication app(argc, argv);
  const QString exeDir = QCoreApplication::applicationDirPath();
  QTemporaryDir tmp;
  const QString accountDir = tmp.filePath("accounts");
  const QString programDir = tmp.filePath("prog");
  QDir().mkpath(accountDir);
  QDir().mkpath(programDir);
  if (Run({(exeDir + "/kov-gen").toStdString(), "--accounts", std::to_string(accounts),
           accountDir.toStdString()}) != 0) {
    std::fprintf(stderr, "kov-gen failed\n");
    return 1;
  }
  for (const char* lang : {"english.xml", "german.xml"})
    for (const QString& dir : {exeDir, exeDir + "/.."})
      if (QFile::exists(dir + "/" + lang)) QFile::copy(dir + "/" + lang, programDir + "/" + lang);
  {
    QFile ini(programDir + "/kov.ini");
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write("[SETTINGS]\r\nACCOUNTDIR=" + accountDir.toLocal8Bit() + "\r\nLANG=0\r\n"
              "[WINDOW]\r\nLEFT=0\r\nTOP=0\r\nWIDTH=900\r\nHEIGHT=700\r\n");
  }
  kov::SetNoticeHandler([](kov::NoticeKind, const QString& text) {
    std::fprintf(stderr, "notice: %s\n", qPrintable(text));
  });
  const std::string accu = (accountDir + "/VornexAccu.scp").toStdString();

  std::vector<double> reads, greps;
  for (int r = 0; r < runs; ++r) {
    kov::AccountTable table;
    const double t0 = WallMs();
    kov::ReadAccountFile(table, accu, {});
    reads.push_back(WallMs() - t0);
    const auto w0 = std::chrono::steady_clock::now();
    Run({"grep", "-ci", "example", accu}, "/dev/null");
    greps.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0)
                        .count());
  }
  const double read = Median(reads);
  const double grep = Median(greps);

  kov::TForm1 form(programDir);
  kov::ExtraCommands extras(form);
  form.show();
  QCoreApplication::processEvents();
  const kov::AccountTable& t = form.Table();
  // Typed as an operator types: a name from the middle of the file, letter by letter, then
  // deleted again (each step a full re-filter).
  const std::string name(t.Text(t.ViewRow(t.ViewCount() / 2), kov::dbaccount));
  const QString needle = QString::fromLatin1(name.substr(0, std::min<size_t>(name.size(), 6)));
  std::vector<double> keys;
  double worst = 0;
  int shown = 0;
  for (int r = 0; r < runs; ++r) {
    QStringList steps;
    for (int i = 1; i <= needle.size(); ++i) steps << needle.left(i);
    for (int i = needle.size() - 1; i >= 0; --i) steps << needle.left(i);
    for (const QString& s : steps) {
      const double t0 = WallMs();
      extras.Search()->setText(s);
      extras.Search()->ApplyNow();
      QCoreApplication::processEvents();
      const double ms = WallMs() - t0;
      keys.push_back(ms);
      worst = std::max(worst, ms);
      if (s == needle) shown = t.ViewCount();
    }
  }
  const double key = Median(keys);
  QFile loadavg(QStringLiteral("/proc/loadavg"));
  const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readLine().split(' ').value(0)
                                                             : QByteArray("unknown");
  std::printf("accounts: %d rows, account file %lld bytes, %d runs, load average %s\n",
              t.RowCount(), static_cast<long long>(QFileInfo(QString::fromStdString(accu)).size()),
              runs, load.constData());
  std::printf("read account file (wall): %.1f ms\n", read);
  std::printf("grep -ci over the file (wall): %.1f ms\n", grep);
  std::printf("keystroke re-filter (wall, median of %zu): %.2f ms  (worst %.2f ms), \"%s\" shows %d\n",
              keys.size(), key, worst, qPrintable(needle), shown);
  std::printf("ratio keystroke/read: %.3f (target <= 0.1), worst/read: %.3f\n", key / read,
              worst / read);
  std::printf("ratio keystroke/grep: %.2f\n", key / grep);
  return key / read <= 0.1 ? 0 : 1;
}
