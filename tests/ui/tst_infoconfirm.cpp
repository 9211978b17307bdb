// The info box and the delete confirmation dialog.
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <QTimer>

#include "ui/commands/DeleteConfirmationDialog.h"
#include "ui/mainwindow/InfoBox.h"
#include "ui/settings/UiText.h"

using namespace kov;

class TestInfoConfirm : public QObject {
  Q_OBJECT

 private:
  // Shows the dialog modally and lets `act` close it.
  template <class Act>
  static int Run(QDialog& d, Act act) {
    QTimer::singleShot(0, &d, [&d, act] {
      QVERIFY(d.isVisible());
      act();
    });
    return d.exec();
  }

  static void Fill(DeleteConfirmationDialog& d) {
    d.ClearList();
    d.AddItem("alpha");
    d.AddItem("beta");
    d.AddItem("gamma");
  }

  static QStringList Ticked(const DeleteConfirmationDialog& d) {
    QStringList out;
    for (int i = 0; i < d.Count(); ++i)
      out << QString::fromStdString(d.ItemName(i)) + (d.IsChecked(i) ? "+" : "-");
    return out;
  }

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }

  void version() {
    QCOMPARE(FourPartVersion("1.2.3.4"), QStringLiteral("1.2.3.4"));
    QCOMPARE(FourPartVersion("1.2"), QStringLiteral("1.2.0.0"));
    QCOMPARE(ReadVersionNumber(QCoreApplication::applicationFilePath()),
             FourPartVersion(QStringLiteral(KOV_VERSION)));
    QCOMPARE(ReadVersionNumber("/no/such/program"), QString());
    InfoBox box(QCoreApplication::applicationFilePath());
    QCOMPARE(box.VersionText(), "Version:" + FourPartVersion(QStringLiteral(KOV_VERSION)));
    InfoBox missing("/no/such/program");
    QCOMPARE(missing.VersionText(), QStringLiteral("Version:"));
  }

  void systemLine() {
    const QString line = SystemLine();
    QVERIFY2(line.startsWith(QSysInfo::prettyProductName() + " "), qPrintable(line));
#ifndef Q_OS_WIN
    QCOMPARE(line, QSysInfo::prettyProductName() + " " + QSysInfo::kernelVersion() + " (Build 0)");
#endif
    InfoBox box(QCoreApplication::applicationFilePath());
    QVERIFY(box.findChild<QLabel*>("LabelSystem")->text() == line);
  }

  void textsAndClose() {
    InfoBox box(QCoreApplication::applicationFilePath());
    QCOMPARE(box.windowTitle(), QStringLiteral("Info..."));
    QCOMPARE(box.CloseButton()->text(), Ui("Info_Button_Cancel"));
    QCOMPARE(box.findChild<QLabel*>("LabelCopyRight")->text(), Ui("Info_Label_CopyRight"));
    UiText::Instance().SetText(u"Info_Button_Cancel", QStringLiteral("Abbrechen"));
    box.ApplyUiText();
    QCOMPARE(box.CloseButton()->text(), QStringLiteral("Abbrechen"));
    UiText::Instance().SetText(u"Info_Button_Cancel", UiText::DefaultText(u"Info_Button_Cancel"));
    Run(box, [&] { QTest::mouseClick(box.CloseButton(), Qt::LeftButton); });
    QVERIFY(!box.isVisible());
  }

  void mailLinks() {
    QList<QUrl> opened;
    InfoBox::SetUrlOpener([&](const QUrl& u) { opened << u; });
    InfoBox box(QCoreApplication::applicationFilePath());
    const QList<QLabel*> links = box.MailLinks();
    QCOMPARE(links.size(), 3);
    bool stillOpen = true;
    Run(box, [&] {
      for (QLabel* link : links) {
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(link->text().contains(">EMail<"));
        QVERIFY(!link->toolTip().isEmpty());
        emit link->linkActivated(
            link->text().section('"', 1, 1));  // what a click on the link hands over
      }
      stillOpen = box.isVisible();
      box.accept();
    });
    InfoBox::SetUrlOpener({});
    QVERIFY(stillOpen);
    QCOMPARE(opened.size(), 3);
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(opened[i].scheme(), QStringLiteral("mailto"));
      QCOMPARE(opened[i].path(), links[i]->toolTip());
    }
  }

  void confirmationTexts() {
    DeleteConfirmationDialog d;
    QCOMPARE(d.windowTitle(), Ui("frg_acc_delete_Title"));
    QCOMPARE(d.Question()->text(), Ui("frg_acc_delete"));
    QCOMPARE(d.ButtonYes()->text(), Ui("frg_acc_delete_yes"));
    QCOMPARE(d.ButtonNo()->text(), Ui("frg_acc_delete_No"));
    QVERIFY(d.ButtonNo()->isDefault());
    QVERIFY(!d.ButtonYes()->isDefault());
  }

  void confirmationList_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Yes") << "yes" << QStringList({"alpha+", "beta+", "gamma+"});
    QTest::newRow("untick one, Yes") << "untick-yes" << QStringList({"alpha+", "beta-", "gamma+"});
    QTest::newRow("No") << "no" << QStringList();
    QTest::newRow("untick one, No") << "untick-no" << QStringList();
    QTest::newRow("Escape") << "escape" << QStringList();
    QTest::newRow("frame's close box") << "close" << QStringList();
    QTest::newRow("Enter takes the default No") << "enter" << QStringList();
  }
  void confirmationList() {
    QFETCH(QString, how);
    QFETCH(QStringList, expected);
    DeleteConfirmationDialog d;
    Fill(d);
    QCOMPARE(Ticked(d), QStringList({"alpha+", "beta+", "gamma+"}));
    Run(d, [&] {
      QListWidget* list = d.AccountList();
      if (how.startsWith("untick")) {
        // A click on the tick box of the second item.
        const QRect r = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() + 8, r.center().y()));
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
      }
      if (how.endsWith("yes")) QTest::mouseClick(d.ButtonYes(), Qt::LeftButton);
      if (how.endsWith("no")) QTest::mouseClick(d.ButtonNo(), Qt::LeftButton);
      if (how == "escape") QTest::keyClick(&d, Qt::Key_Escape);
      if (how == "close") d.close();
      if (how == "enter") QTest::keyClick(list, Qt::Key_Return);
    });
    QVERIFY(!d.isVisible());
    QCOMPARE(Ticked(d), expected);
  }

  void namesKeepTheirBytes() {
    DeleteConfirmationDialog d;
    d.AddItem("J\xf6rg");  // Windows-1252 o-umlaut
    QCOMPARE(d.AccountList()->item(0)->text(), QString::fromUtf8("J\u00f6rg"));
    QCOMPARE(d.ItemName(0), std::string("J\xf6rg"));
    d.AddItem("off", false);
    QVERIFY(!d.IsChecked(1));
  }
};

QTEST_MAIN(TestInfoConfirm)
#include "tst_infoconfirm.moc"
