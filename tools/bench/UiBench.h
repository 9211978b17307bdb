#pragma once
// Shared by the window benchmarks: clocks, medians, running a tool, and a generated shard
// with a program folder (languages, kov.ini) to open the main window on.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/widgets/Notice.h"

extern char** environ;

namespace uibench {

// Wall-clock time: the account file is read by two threads at once, so the reading
// thread's processor time would understate how long a read takes. Run on a quiet machine;
// the load average is printed with the figures.
inline double WallMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline double ThreadCpuMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

inline std::string LoadAverage() {
  QFile f(QStringLiteral("/proc/loadavg"));
  if (!f.open(QIODevice::ReadOnly)) return "unknown";
  return f.readLine().split(' ').value(0).toStdString();
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Exit status of the program (found on PATH), its standard output to `out` if given.
inline int Run(const std::vector<std::string>& args, const char* out = nullptr) {
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

// `accounts` generated accounts in accountDir (kov-gen from exeDir), and a program folder
// with the language files and a kov.ini that opens them; notices go to standard error.
inline bool MakeShard(const QString& exeDir, const QString& accountDir, const QString& programDir,
                      int accounts) {
  QDir().mkpath(accountDir);
  QDir().mkpath(programDir);
  const std::string gen = (exeDir + "/kov-gen").toStdString();
  if (Run({gen, "--accounts", std::to_string(accounts), accountDir.toStdString()}) != 0) {
    std::fprintf(stderr, "kov-gen failed (%s)\n", gen.c_str());
    return false;
  }
  for (const char* lang : {"english.xml", "german.xml"})
    for (const QString& dir : {exeDir, exeDir + "/.."})
      if (QFile::exists(dir + "/" + lang)) QFile::copy(dir + "/" + lang, programDir + "/" + lang);
  QFile ini(programDir + "/kov.ini");
  if (!ini.open(QIODevice::WriteOnly)) return false;
  ini.write("[SETTINGS]\r\nACCOUNTDIR=" + accountDir.toLocal8Bit() +
            "\r\nLANG=0\r\n"
            "[WINDOW]\r\nLEFT=0\r\nTOP=0\r\nWIDTH=900\r\nHEIGHT=700\r\n");
  kov::SetNoticeHandler([](kov::NoticeKind, const QString& text) {
    std::fprintf(stderr, "notice: %s\n", qPrintable(text));
  });
  return true;
}

}  // namespace uibench
