#include "support/MainWindowFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include "ui/widgets/Notice.h"

namespace kovtest {

namespace {
void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  f.write(bytes);
}
}  // namespace

QByteArray AccountFile(const QStringList& lines) {
  QByteArray out;
  for (const QString& line : lines) out += line.toLatin1() + "\r\n";
  return out;
}

MainWindowFixture::MainWindowFixture(const QByteArray& accu, const QByteArray& acct,
                                     const QString& langDir) {
  programFolder = dir.filePath("prog");
  accountFolder = dir.filePath("accounts");
  QDir().mkpath(programFolder);
  QDir().mkpath(accountFolder);
  for (const char* name : {"english.xml", "german.xml"})
    QFile::copy(langDir + "/" + name, programFolder + "/" + name);
  WriteFile(programFolder + "/kov.ini",
            "[SETTINGS]\r\nACCOUNTDIR=" + QDir::toNativeSeparators(accountFolder).toLocal8Bit() +
                "\r\nSAVEDIR=" + QDir::toNativeSeparators(accountFolder).toLocal8Bit() +
                "\r\nLANG=0\r\nACCAUTOUPDATE=0\r\n[WINDOW]\r\nLEFT=0\r\nTOP=0\r\nWIDTH="
                "800\r\nHEIGHT=600\r\n");
  if (!accu.isEmpty()) WriteFile(accountFolder + "/VornexAccu.scp", accu);
  if (!acct.isEmpty()) WriteFile(accountFolder + "/VornexAcct.scp", acct);
  kov::SetNoticeHandler([this](kov::NoticeKind, const QString& text) { notices << text; });
  form = std::make_unique<kov::MainWindow>(programFolder);
}

MainWindowFixture::MainWindowFixture(FirstStart, const QString& langDir) {
  programFolder = dir.filePath("prog");
  accountFolder = dir.filePath("accounts");
  QDir().mkpath(programFolder);
  QDir().mkpath(accountFolder);
  for (const char* name : {"english.xml", "german.xml"})
    QFile::copy(langDir + "/" + name, programFolder + "/" + name);
  kov::SetNoticeHandler([this](kov::NoticeKind, const QString& text) { notices << text; });
  form = std::make_unique<kov::MainWindow>(programFolder);
}

kov::Commands& MainWindowFixture::MakeCommands() {
  if (!commands) commands = std::make_unique<kov::Commands>(*form);
  return *commands;
}

MainWindowFixture::~MainWindowFixture() {
  if (form) {
    form->Settings().ChangesSaved = true;  // no close question
    form->close();
  }
  commands.reset();
  form.reset();
  kov::SetNoticeHandler({});
}

void MainWindowFixture::Show() {
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) qWarning("window not exposed");
}

}  // namespace kovtest
