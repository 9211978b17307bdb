#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>

#include "support/MainWindowFixture.h"
#include "ui/mainwindow/DiskLog.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/EditPopup.h"

using namespace kov;

namespace {

// Counts pixels that are clearly not the bar's own grey in a rectangle.
int DarkPixels(const QImage& img, const QRect& r) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom() && y < img.height(); ++y)
    for (int x = r.left(); x <= r.right() && x < img.width(); ++x)
      if (qGray(img.pixel(x, y)) < 60) ++n;
  return n;
}

}  // namespace

class TestLogPane : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void init() {
    for (const QString& key : UiText::Instance().Keys())
      UiText::Instance().SetText(key, UiText::DefaultText(key));
  }

  void lineIsIconBlankText() {
    LogPane pane;
    pane.AddLogLine("Save C:\\srv\\accounts\\VornexAcct.scp", 2);
    QCOMPARE(pane.LineCount(), 1);
    QCOMPARE(pane.LineIcon(0), 2);
    QCOMPARE(pane.LineText(0), QStringLiteral(" Save C:\\srv\\accounts\\VornexAcct.scp"));
    const QTextBlock block = pane.Logfile()->document()->firstBlock();
    QCOMPARE(block.text().at(0), QChar(QChar::ObjectReplacementCharacter));  // the picture first
    QCOMPARE(block.text().mid(1, 1), QStringLiteral(" "));
    const QTextCursor caret = pane.Logfile()->textCursor();
    QCOMPARE(caret.position(), block.position() + 1);  // right after the picture
    QVERIFY(!caret.hasSelection());
  }

  void linesAppendInOrderWithTheirIcons() {
    LogPane pane;
    pane.AddLogLine("autoload file: /srv/a/VornexAccu.scp", 0);
    pane.AddLogLine("incoming", 1);
    pane.AddLogLine("Send: A (Account Update)", 2);
    pane.AddLogLine("unknown icon", 7);
    pane.AddLogLine("", -1);
    QCOMPARE(pane.LineCount(), 5);
    const int icons[] = {0, 1, 2, 0, 0};
    for (int i = 0; i < 5; ++i) QCOMPARE(pane.LineIcon(i), icons[i]);
    QCOMPARE(pane.LineText(1), QStringLiteral(" incoming"));
    QCOMPARE(pane.LineText(4), QStringLiteral(" "));
    const QTextBlock last = pane.Logfile()->document()->lastBlock();
    QCOMPARE(pane.Logfile()->textCursor().position(), last.position() + 1);
  }

  void textIsTakenLiterally() {
    LogPane pane;
    pane.AddLogLine("<b>bold</b> &amp; <img src=x>", 0);
    pane.AddLogLine("two\nlines\r\nin one", 2);
    QCOMPARE(pane.LineCount(), 2);
    QCOMPARE(pane.LineText(0), QStringLiteral(" <b>bold</b> &amp; <img src=x>"));
    QCOMPARE(pane.LineText(1), QStringLiteral(" two lines  in one"));
  }

  void paneLooks() {
    LogPane pane;
    QTextEdit* log = pane.Logfile();
    QCOMPARE(log->objectName(), QStringLiteral("Logfile"));
    QVERIFY(log->isReadOnly());
    QCOMPARE(log->lineWrapMode(), QTextEdit::NoWrap);
    QCOMPARE(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(log->palette().color(QPalette::Base), QColor(Qt::black));
    QCOMPARE(log->palette().color(QPalette::Text), QColor(Qt::yellow));
    QCOMPARE(log->font().pixelSize(), 13);
    QCOMPARE(log->font().family(),
             QStringLiteral("Tahoma"));  // resolved to a sans font where missing
    QCOMPARE(log->font().styleHint(), QFont::SansSerif);

    pane.resize(400, 120);
    pane.AddLogLine(
        "A long line that runs on to the right without ever wrapping into a second line at all", 0);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QCOMPARE(log->document()->firstBlock().layout()->lineCount(), 1);
    // Icon then text on black: the grab shows the icon's colours in the first 16 pixels.
    const QImage shot = log->viewport()->grab().toImage();
    QCOMPARE(QColor(shot.pixel(shot.width() - 2, shot.height() - 2)), QColor(Qt::black));
  }

  void iconsAre16x16OnBlack() {
    for (int i = 0; i < 3; ++i) {
      const QImage img = LogPane::IconImage(i);
      QCOMPARE(img.size(), QSize(16, 16));
      QCOMPARE(QColor(img.pixel(0, 0)), QColor(Qt::black));
      QCOMPARE(QColor(img.pixel(15, 15)), QColor(Qt::black));
    }
    // The two arrows are mirror images of each other; the info icon is blue.
    QCOMPARE(LogPane::IconImage(1), LogPane::IconImage(2).mirrored(true, false));
    QVERIFY(LogPane::IconImage(1) != LogPane::IconImage(2));
    const QColor centre = QColor(LogPane::IconImage(0).pixel(8, 10));
    QVERIFY(centre.blue() > 150 && centre.red() < 120);
  }

  void titleBarPaintsTheCurrentTitle() {
    LogPane pane;
    pane.resize(300, 150);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    LogTitleBar* bar = pane.TitleBar();
    QCOMPARE(bar->objectName(), QStringLiteral("Splitter1"));
    QCOMPARE(bar->height(), 20);
    QCOMPARE(bar->cursor().shape(), Qt::SizeVerCursor);
    QVERIFY(bar->y() < pane.Logfile()->y());

    UiText::Instance().SetText(u"f1_Log_Title", QString());
    const QImage empty = bar->grab().toImage();
    UiText::Instance().SetText(u"f1_Log_Title", QStringLiteral("KOV Info..."));
    const QImage english = bar->grab().toImage();
    UiText::Instance().SetText(u"f1_Log_Title", QStringLiteral("KOV-Info und noch viel mehr Text"));
    const QImage longer = bar->grab().toImage();
    QCOMPARE(DarkPixels(empty, QRect(5, 3, 250, 14)), 0);
    QVERIFY(DarkPixels(english, QRect(5, 3, 80, 14)) > 20);
    QCOMPARE(DarkPixels(english, QRect(0, 0, 4, 20)),
             DarkPixels(empty, QRect(0, 0, 4, 20)));  // starts at x = 5
    QVERIFY(DarkPixels(longer, QRect(5, 3, 250, 14)) > DarkPixels(english, QRect(5, 3, 250, 14)));
  }

  void draggingTheBarResizesThePane() {
    QWidget window;
    window.resize(500, 600);
    auto* layout = new QVBoxLayout(&window);
    auto* grid = new QWidget(&window);
    layout->addWidget(grid, 1);
    auto* pane = new LogPane(&window);
    layout->addWidget(pane);
    pane->SetLogHeight(100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy heights(pane, &LogPane::LogHeightChanged);
    LogTitleBar* bar = pane->TitleBar();
    const int gridBefore = grid->height();

    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, 10));
    QMouseEvent up(QEvent::MouseMove, QPointF(50, -30), bar->mapToGlobal(QPointF(50, -30)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &up);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(50, -30));
    QCOMPARE(pane->LogHeight(), 140);
    QCOMPARE(pane->Logfile()->height(), 140);
    QVERIFY(!heights.isEmpty());
    QTRY_VERIFY(grid->height() < gridBefore);  // the grid gives the room

    // Dragging far down stops short of closing the pane.
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(50, 10));
    QMouseEvent down(QEvent::MouseMove, QPointF(50, 500), bar->mapToGlobal(QPointF(50, 500)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &down);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(50, 500));
    QCOMPARE(pane->LogHeight(), 30);
    QVERIFY(pane->Logfile()->isVisible());

    // Moving without a press does nothing.
    QMouseEvent stray(QEvent::MouseMove, QPointF(50, -100), bar->mapToGlobal(QPointF(50, -100)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &stray);
    QCOMPARE(pane->LogHeight(), 30);
  }

  void logHeightSetting_data() {
    QTest::addColumn<int>("logh");
    QTest::addColumn<int>("expected");
    QTest::newRow("default") << 100 << 100;
    QTest::newRow("small") << 5 << 5;
    QTest::newRow("negative") << -40 << 0;
    QTest::newRow("absurd") << 2000000000 << 4000;
  }
  void logHeightSetting() {
    QFETCH(int, logh);
    QFETCH(int, expected);
    LogPane pane;
    pane.SetLogHeight(logh);
    QCOMPARE(pane.LogHeight(), expected);
    QCOMPARE(pane.Logfile()->height(), expected);
  }

  void hidingKeepsLinesAndHeight() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* pane = new LogPane(&window);
    layout->addWidget(pane);
    pane->SetLogHeight(120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    pane->SetLogShown(false);
    QVERIFY(!pane->IsLogShown());
    QVERIFY(!pane->TitleBar()->isVisible());
    QVERIFY(!pane->Logfile()->isVisible());
    pane->AddLogLine("while hidden", 0);
    QCOMPARE(pane->LogHeight(), 120);
    pane->SetLogShown(true);
    QVERIFY(pane->TitleBar()->isVisible());
    QVERIFY(pane->Logfile()->isVisible());
    QCOMPARE(pane->LineCount(), 1);
    QCOMPARE(pane->LineText(0), QStringLiteral(" while hidden"));
    QCOMPARE(pane->Logfile()->height(), 120);
  }

  void editMenuEntries() {
    EditPopup popup;
    QCOMPARE(popup.objectName(), QStringLiteral("Popup_Log"));
    QStringList captions, names, keys;
    for (QAction* a : popup.actions()) {
      captions << (a->isSeparator() ? "-" : a->text());
      names << a->objectName();
      keys << a->shortcut().toString(QKeySequence::PortableText);
    }
    QCOMPARE(captions, (QStringList{QString::fromUtf8("Rückgängig"), "-", "Ausscheiden", "Kopieren",
                                    QString::fromUtf8("Einfügen"), QString::fromUtf8("Löschen"),
                                    "-", "Alles markieren"}));
    QCOMPARE(keys, (QStringList{"Ctrl+Z", "", "Ctrl+X", "Ctrl+C", "Ctrl+V", "Del", "", "Ctrl+A"}));
    UiText::Instance().SetText(u"pop_log_Cut", QStringLiteral("Cut"));
    popup.ApplyUiText();
    QCOMPARE(popup.EditCut()->text(), QStringLiteral("Cut"));
  }

  void inTheLogOnlyCopyAndSelectAllWork() {
    LogPane pane;
    EditPopup popup;
    pane.SetEditPopup(&popup);
    pane.AddLogLine("Send: A (Account Update)", 2);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QApplication::clipboard()->setText("clip");

    popup.PopupFor(pane.Logfile(), pane.mapToGlobal(QPoint(10, 30)));
    QVERIFY(popup.isVisible());
    QVERIFY(!popup.EditUndo()->isEnabled());
    QVERIFY(!popup.EditCut()->isEnabled());
    QVERIFY(!popup.EditPaste()->isEnabled());
    QVERIFY(!popup.EditDelete()->isEnabled());
    QVERIFY(!popup.EditCopy()->isEnabled());  // nothing selected yet
    QVERIFY(popup.EditSelectAll()->isEnabled());
    popup.EditSelectAll()->trigger();
    popup.close();

    popup.PopupFor(pane.Logfile(), pane.mapToGlobal(QPoint(10, 30)));
    QVERIFY(popup.EditCopy()->isEnabled());
    QVERIFY(!popup.EditCut()->isEnabled());
    popup.EditCopy()->trigger();
    popup.close();
    QVERIFY(
        QApplication::clipboard()->text().endsWith(QStringLiteral(" Send: A (Account Update)")));
    popup.EditPaste()->trigger();  // even if forced, the read-only pane stays as it was
    popup.EditDelete()->trigger();
    QCOMPARE(pane.LineCount(), 1);
    QCOMPARE(pane.LineText(0), QStringLiteral(" Send: A (Account Update)"));
  }

  void textFieldsShareTheMenu() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QLineEdit(&window);
    layout->addWidget(field);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    EditPopup popup;
    popup.Attach(field);
    QCOMPARE(field->contextMenuPolicy(), Qt::CustomContextMenu);
    QSignalSpy edited(field, &QLineEdit::textEdited);

    QTest::keyClicks(field, "secret");
    edited.clear();
    field->setSelection(0, 3);
    emit field->customContextMenuRequested(QPoint(2, 2));
    QVERIFY(popup.isVisible());
    QVERIFY(popup.EditCut()->isEnabled());
    popup.EditCut()->trigger();
    popup.close();
    QCOMPARE(field->text(), QStringLiteral("ret"));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("sec"));
    QVERIFY(!edited.isEmpty());  // the owner stores the text as if typed

    field->setCursorPosition(3);
    emit field->customContextMenuRequested(QPoint(2, 2));
    popup.EditPaste()->trigger();
    popup.close();
    QCOMPARE(field->text(), QStringLiteral("retsec"));

    emit field->customContextMenuRequested(QPoint(2, 2));
    popup.EditSelectAll()->trigger();
    popup.close();
    emit field->customContextMenuRequested(QPoint(2, 2));
    popup.EditDelete()->trigger();
    popup.close();
    QCOMPARE(field->text(), QString());
    emit field->customContextMenuRequested(QPoint(2, 2));
    QVERIFY(popup.EditUndo()->isEnabled());
    popup.EditUndo()->trigger();
    popup.close();
    QCOMPARE(field->text(), QStringLiteral("retsec"));
  }

  // --- kov.log ---------------------------------------------------------------------------

  void diskLogKeepsEveryLineWithItsTimeOwnerOnly() {
    QTemporaryDir dir;
    const QString path = dir.filePath("kov.log");
    DiskLog log(path);
    QVERIFY(log.Append("autoload file: /srv/a/VornexAccu.scp", LogPane::IconInfo));
    QVERIFY(log.Append("Send: A (Account Update)", LogPane::IconOut));
    QVERIFY(log.Append("two\nlines", LogPane::IconIn));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ");
    for (const QString& line : lines) QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
    QVERIFY(lines[0].endsWith("   autoload file: /srv/a/VornexAccu.scp"));
    QVERIFY(lines[1].endsWith(" > Send: A (Account Update)"));
    QVERIFY(lines[2].endsWith(" < two lines"));
#ifndef Q_OS_WIN
    QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                QFileDevice::WriteGroup | QFileDevice::WriteOther),
             QFileDevice::Permissions());
#endif
  }

  void diskLogRotatesIntoOneOlderFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("kov.log");
    DiskLog log(path, 200);
    for (int i = 0; i < 12; ++i) QVERIFY(log.Append(QString("line %1 ").arg(i).repeated(3), 0));
    QVERIFY(QFile(path).size() <= 200);
    QVERIFY(QFile(path + ".1").size() <= 200);
    QVERIFY(!QFile::exists(path + ".2"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("line 11"));
  }

  void aLogFileThatCannotBeWrittenIsSaidOnceInThePane() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("kov.log"));  // a folder where the file should be
    DiskLog log(dir.filePath("kov.log"));
    QVERIFY(!log.Append("x", 0));
    QVERIFY(!log.LastError().isEmpty());
  }

  void theWindowWritesItsLinesToKovLog() {
    kovtest::MainWindowFixture fx(
        kovtest::AccountFile({"[alice]", "PLEVEL=1", "[bob]", "PLEVEL=1"}));
    fx.Show();
    fx.Form().AddLogLine("Save /tmp/x/VornexAcct.scp", LogPane::IconOut);
    QCOMPARE(fx.Form().DiskLogPath(), QDir(fx.programFolder).filePath("kov.log"));
    QFile f(fx.Form().DiskLogPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.contains("autoload file:"));
    QVERIFY(text.contains(" > Save /tmp/x/VornexAcct.scp\n"));
    QCOMPARE(text.count('\n'), fx.Form().Log()->LineCount());
  }
};

QTEST_MAIN(TestLogPane)
#include "tst_logpane.moc"
