// Export Excel, Export HTML and Send EMail through the real main window: file dialog,
// progress window, log line, error path, the grid's filter and order, the mail link.
#include <sys/stat.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <QTest>
#include <QUrl>

#include "../export/ZipEntry.h"
#include "store/TabFilter.h"
#include "support/MainWindowFixture.h"
#include "ui/commands/ExportCommands.h"
#include "ui/grid/AccountGrid.h"
#include "ui/grid/AccountModel.h"
#include "ui/grid/FilterTabs.h"
#include "ui/mainwindow/LogPane.h"
#include "ui/mainwindow/MainWindow.h"
#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"
#include "ui/widgets/Notice.h"
#include "ui/widgets/ProgressWindow.h"

using namespace kov;
using kovtest::AccountFile;
using kovtest::MainWindowFixture;

namespace {

QByteArray Accounts() {
  return AccountFile({
      "[Alice]",
      "PASSWORD=pw1",
      "PLEVEL=4",
      "EMAIL=alice@example.org",
      "[bob]",
      "PASSWORD=pw2",
      "PLEVEL=1",
      "EMAIL=a",
      "[Carl]",
      "PASSWORD=pw3",
      "PLEVEL=counselor",
      "JAIL=1",
      "[dave]",
      "PASSWORD=pw4",
      "PLEVEL=0",
      "TAG.EMAIL=\"dave@example.org\"",
      "[Olga]",
      "PASSWORD=<script>alert('x')</script>",
      "PLEVEL=7",
      "EMAIL=\"o&g\"@x.org?bcc=evil@x.org",
      "[Dan]",
      "PASSWORD=pw6",
      "PLEVEL=Developer",
      "PRIV=2000",
      "[EOF]",
  });
}

QStringList GridNames(MainWindow& f) {
  QStringList out;
  auto& m = f.Model();
  for (int r = 0; r < m.rowCount(); ++r)
    out << m.data(m.index(r, AccountModel::ColAccount), Qt::DisplayRole).toString();
  return out;
}

void ClickTab(QTabBar* bar, int index) {
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void ClickTitle(MainWindow& f, int column) {
  QHeaderView* h = f.Grid()->horizontalHeader();
  QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                    QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, 8));
}

void ClickRow(MainWindow& f, int row) {
  QTableView* grid = f.Grid();
  const QRect r = grid->visualRect(f.Model().index(row, AccountModel::ColAccount));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

// The cells of every <tr> whose cells are `cell` elements.
QList<QStringList> HtmlRows(const QString& page, const QString& cell = "td") {
  QList<QStringList> rows;
  static const QRegularExpression tr("<tr>(.*?)</tr>");
  const QRegularExpression td("<" + cell + "[^>]*>(.*?)</" + cell + ">");
  for (auto it = tr.globalMatch(page); it.hasNext();) {
    const QString inner = it.next().captured(1);
    QStringList cells;
    for (auto c = td.globalMatch(inner); c.hasNext();) cells << c.next().captured(1);
    if (!cells.isEmpty()) rows << cells;
  }
  return rows;
}

QString ReadLatin1(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromLatin1(f.readAll());
}

QString LastLogLine(MainWindow& f) {
  LogPane* log = f.Log();
  return log->LineCount() ? log->LineText(log->LineCount() - 1).trimmed() : QString();
}

const QStringList kTitles = {"S", "Account", "Password", "PLevel", "EMail", "Days"};

}  // namespace

// Takes the links the desktop would hand to the mail program.
class MailCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;

 public slots:
  void Open(const QUrl& url) { urls << url; }
};

class TestExport : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    UiText::Instance().RegisterUiTextKeys();
  }
  void init() { MessageDialogSeam::Clear(); }

  void htmlUnderStaffKeepsTabOrderAndCurrentRow() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    fx.Show();
    ClickTitle(f, AccountModel::ColAccount);  // descending first
    ClickTab(f.Tabs()->FilterTabBar(), TabStaff);
    const QStringList shown = GridNames(f);
    QCOMPARE(shown.size(), 4);
    ClickRow(f, 2);
    const RowId current = f.Table().Current();

    const QString path = fx.dir.filePath("staff.htm");
    SetNextFileNames({path});
    f.edExportHTML->trigger();

    const FileDialogRequest& request = LastFileDialogRequest();
    QVERIFY(request.kind == FileDialogRequest::Kind::Save);
    QCOMPARE(request.title, QString("Exporting to HTML..."));
    QCOMPARE(request.filter, QString("HTML (*.htm)"));
    QCOMPARE(request.defaultSuffix, QString("htm"));

    const QString page = ReadLatin1(path);
    QCOMPARE(HtmlRows(page, "th"), QList<QStringList>{kTitles});
    const QList<QStringList> rows = HtmlRows(page);
    QStringList names;
    for (const QStringList& r : rows) {
      QCOMPARE(r.size(), 6);
      names << r[1];
    }
    QCOMPARE(names, shown);
    QVERIFY(!page.contains("2000"));  // the hidden flag column
    // The operator's view is as it was.
    QCOMPARE(f.Tabs()->FilterTabBar()->currentIndex(), int(TabStaff));
    QCOMPARE(GridNames(f), shown);
    QCOMPARE(f.Table().Current(), current);
    QCOMPARE(LastLogLine(f), "Exporting to HTML... " + QDir::toNativeSeparators(path));
    QVERIFY(!f.Progress().isVisible());
    QCOMPARE(f.Progress().windowTitle(), QString("Exporting to HTML..."));
#ifndef Q_OS_WIN  // no mode bits there: a new file takes its folder's access list
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0600);
#endif

    // The caption stays the progress window's title for the loads that follow.
    f.edReloadAcc->trigger();
    QCOMPARE(f.Progress().windowTitle(), QString("Exporting to HTML..."));
  }

  void hostileCellsAreEscaped() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    const QString path = fx.dir.filePath("all.htm");
    SetNextFileNames({path});
    f.edExportHTML->trigger();
    const QString page = ReadLatin1(path);
    QVERIFY(!page.contains("<script>"));
    const QList<QStringList> rows = HtmlRows(page);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows[4][2], QString("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"));
    QCOMPARE(rows[4][4], QString("&quot;o&amp;g&quot;@x.org?bcc=evil@x.org"));
    QCOMPARE(rows[2][4], QString("&nbsp;"));  // no address
    QCOMPARE(rows[3][4], QString("&quot;dave@example.org&quot;"));
  }

  void emptyViewGivesTitleRowOnly() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    fx.Show();
    ClickTab(f.Tabs()->FilterTabBar(), TabCharCount);
    ClickTab(f.Tabs()->CharCountTabBar(), 5);
    QCOMPARE(f.Model().rowCount(), 0);
    const QString path = fx.dir.filePath("empty.htm");
    SetNextFileNames({path});
    f.edExportHTML->trigger();
    const QString page = ReadLatin1(path);
    QVERIFY(page.startsWith("<html><head><title>KOV Export</title>\r\n"));
    QVERIFY(
        page.endsWith("<table>\r\n<tr><th>S</th><th>Account</th><th>Password</th>"
                      "<th>PLevel</th><th>EMail</th><th>Days</th></tr>\r\n</table>\r\n"
                      "</body></html>\r\n"));
    QVERIFY(HtmlRows(page).isEmpty());
  }

  void excelWorkbookHoldsTheTabsRows() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    fx.Show();
    ClickTab(f.Tabs()->FilterTabBar(), TabStaff);
    const QString path = fx.dir.filePath("staff.xlsx");
    SetNextFileNames({path});
    f.edExportExcel->trigger();

    const FileDialogRequest& request = LastFileDialogRequest();
    QCOMPARE(request.title, QString("Exporting to MS Excel..."));
    QCOMPARE(request.filter, QString("Excel (*.xlsx)"));
    QCOMPARE(request.defaultSuffix, QString("xlsx"));
    QCOMPARE(LastLogLine(f), "Exporting to MS Excel... " + QDir::toNativeSeparators(path));
    QCOMPARE(f.Progress().windowTitle(), QString("Exporting to MS Excel..."));
    QVERIFY(MessageDialogSeam::Calls().isEmpty());

    const auto sheet =
        kovtest::ZipEntry(QFile::encodeName(path).toStdString(), "xl/worksheets/sheet1.xml");
    QVERIFY(sheet.has_value());
    const QString xml = QString::fromUtf8(sheet->data(), static_cast<int>(sheet->size()));
    QStringList names;
    static const QRegularExpression nameCell("<c r=\"B(\\d+)\"[^>]*><is><t>(.*?)</t>");
    for (auto it = nameCell.globalMatch(xml); it.hasNext();) names << it.next().captured(2);
    QCOMPARE(names, QStringList({"Account", "Alice", "Carl", "Olga", "Dan"}));
    QVERIFY(xml.contains("<c r=\"A2\"><v>0</v></c>"));  // the status as a number
    QVERIFY(xml.contains("<pageSetup fitToHeight=\"0\" orientation=\"portrait\"/>") &&
            xml.contains("<pageSetUpPr fitToPage=\"1\"/>"));
  }

  void cancelWritesNothing() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    const int lines = f.Log()->LineCount();
    SetNextFileNames({QString()});
    f.edExportHTML->trigger();
    QCOMPARE(f.Log()->LineCount(), lines);
    QVERIFY(MessageDialogSeam::Calls().isEmpty());
  }

  void unwritableFolderShowsTheErrorAndLeavesNoFile() {
    QFETCH(bool, excel);
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    QFile plain(fx.dir.filePath("plainfile"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString path = fx.dir.filePath("plainfile/out");
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::OK);
    SetNextFileNames({path});
    (excel ? f.edExportExcel : f.edExportHTML)->trigger();
    const auto calls = MessageDialogSeam::Calls();
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls[0].kind == MsgDlgType::Error);
    QVERIFY(calls[0].buttons == MsgDlgButtons(MsgDlgBtn::OK));
    QVERIFY2(calls[0].text.contains(QDir::toNativeSeparators(path)), qPrintable(calls[0].text));
    QVERIFY(!f.Progress().isVisible());
    QCOMPARE(LastLogLine(f),
             excel ? QString("Exporting to MS Excel...") : QString("Exporting to HTML..."));
    QCOMPARE(
        QDir(fx.dir.path()).entryList(QStringList{"*out*", ".*tmp"}, QDir::Files | QDir::Hidden),
        QStringList());
  }
  void unwritableFolderShowsTheErrorAndLeavesNoFile_data() {
    QTest::addColumn<bool>("excel");
    QTest::newRow("html") << false;
    QTest::newRow("xlsx") << true;
  }

  // The command line filters with AcceptsTab; the grid with its tabs. Both must agree.
  void commandLineFilterMatchesTheGrid() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    fx.Show();
    for (int tab = 0; tab < kFilterTabCount; ++tab) {
      for (int chars = 0; chars < (tab == TabCharCount ? kCharTabCount : 1); ++chars) {
        ClickTab(f.Tabs()->FilterTabBar(), tab);
        if (tab == TabCharCount) ClickTab(f.Tabs()->CharCountTabBar(), chars);
        QStringList expected;
        for (RowId r : f.Table().Order())
          if (AcceptsTab(f.Table(), r, tab, chars))
            expected << QString::fromLatin1(f.Table().Text(r, dbaccount).data(),
                                            int(f.Table().Text(r, dbaccount).size()));
        QCOMPARE(GridNames(f), expected);
      }
    }
  }

  void sendEmailFollowsTheCurrentAddress() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    fx.Show();
    MailCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "Open");
    ExportCommands::SetMailProgramProbe([] { return true; });

    auto* grid = qobject_cast<AccountGrid*>(f.Grid());
    QVERIFY(grid);
    QMenu* menu = grid->PopupMenu();
    QVERIFY(menu->actions().contains(f.edSendEmail));

    ClickRow(f, 2);  // Carl: no address
    QVERIFY(!f.edSendEmail->isEnabled());
    emit menu->aboutToShow();
    QVERIFY(!f.edSendEmail->isEnabled());
    f.edSendEmail->trigger();
    QVERIFY(catcher.urls.isEmpty());

    ClickRow(f, 1);  // bob: "a"
    QVERIFY(f.edSendEmail->isEnabled());
    f.edSendEmail->trigger();
    ClickRow(f, 3);  // dave: quoted address
    f.edSendEmail->trigger();
    ClickRow(f, 4);  // Olga: quotes, ampersand, a query of her own
    f.edSendEmail->trigger();
    QDesktopServices::unsetUrlHandler("mailto");
    ExportCommands::SetMailProgramProbe({});

    QCOMPARE(catcher.urls.size(), 3);
    const QByteArray tail = "?subject=%3Cmail%20subject%3E&body=dummy";
    QCOMPARE(catcher.urls[0].toEncoded(), "mailto:a" + tail);
    QCOMPARE(catcher.urls[1].toEncoded(), "mailto:dave@example.org" + tail);
    QCOMPARE(catcher.urls[2].toEncoded(), "mailto:%22o%26g%22@x.org%3Fbcc%3Devil@x.org" + tail);
    QCOMPARE(catcher.urls[2].path(), QString("\"o&g\"@x.org?bcc=evil@x.org"));
    QVERIFY(fx.notices.isEmpty());
  }

  // Without a mail program the desktop's opener "succeeds" and nothing happens: the operator
  // must learn it and get the address to paste elsewhere.
  void sendEmailWithoutAMailProgramSaysSoAndCopiesTheAddress() {
    MainWindowFixture fx(Accounts());
    MainWindow& f = fx.Form();
    ExportCommands commands(f);
    fx.Show();
    MailCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "Open");
    ExportCommands::SetMailProgramProbe([] { return false; });
    QGuiApplication::clipboard()->clear();

    ClickRow(f, 3);  // dave: quoted address
    f.edSendEmail->trigger();
    QDesktopServices::unsetUrlHandler("mailto");
    ExportCommands::SetMailProgramProbe({});

    QVERIFY(catcher.urls.isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("dave@example.org"));
    QCOMPARE(fx.notices.size(), 1);
    QVERIFY(fx.notices[0].contains(QStringLiteral("dave@example.org")));
    QVERIFY(fx.notices[0].contains(QStringLiteral("clipboard")));
    QVERIFY(f.Log()->LineText(f.Log()->LineCount() - 1).contains(QStringLiteral("clipboard")));
  }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
