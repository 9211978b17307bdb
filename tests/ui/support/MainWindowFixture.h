#pragma once
// A main window over a temporary program folder whose kov.ini points at a temporary account
// folder holding the given files. Notices are collected instead of shown.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "ui/commands/Commands.h"
#include "ui/mainwindow/MainWindow.h"

namespace kovtest {

struct MainWindowFixture {
  // `accu` and `acct` are the bytes of VornexAccu.scp and VornexAcct.scp (empty: no file).
  // The language files are copied from `langDir` (the tests know the source folder).
#ifdef KOV_SOURCE_DIR
  explicit MainWindowFixture(const QByteArray& accu, const QByteArray& acct = {},
                             const QString& langDir = QStringLiteral(KOV_SOURCE_DIR "/lang"));
#else
  MainWindowFixture(const QByteArray& accu, const QByteArray& acct, const QString& langDir);
#endif
  // A first start: the program folder holds the language files and no kov.ini.
  struct FirstStart {};
#ifdef KOV_SOURCE_DIR
  explicit MainWindowFixture(FirstStart,
                             const QString& langDir = QStringLiteral(KOV_SOURCE_DIR "/lang"));
#else
  MainWindowFixture(FirstStart, const QString& langDir);
#endif
  ~MainWindowFixture();

  kov::MainWindow& Form() { return *form; }
  // Shows the window and waits until it is on screen.
  void Show();

  QTemporaryDir dir;
  QString programFolder;
  QString accountFolder;
  QStringList notices;
  std::unique_ptr<kov::MainWindow> form;
  // Every command, as the program entry makes them (MakeCommands); tests of one command make
  // only that one.
  kov::Commands& MakeCommands();
  std::unique_ptr<kov::Commands> commands;
};

// Account-file text from lines, joined with CR LF.
QByteArray AccountFile(const QStringList& lines);

}  // namespace kovtest
