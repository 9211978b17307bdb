#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "ui/settings/MessageDialog.h"
#include "ui/settings/UiText.h"

using namespace kov;

Q_DECLARE_METATYPE(kov::MsgDlgButtons)
Q_DECLARE_METATYPE(kov::MsgDlgBtn)
Q_DECLARE_METATYPE(kov::MsgDlgType)

namespace {

const MsgDlgBtn kNone = MsgDlgBtn::None;

// Runs fn on the modal dialog once MessageDialog has shown it.
void WhenShown(std::function<void(MessageBoxDialog*)> fn) {
  QTimer::singleShot(0, [fn] {
    auto* form = qobject_cast<MessageBoxDialog*>(QApplication::activeModalWidget());
    if (!form) {
      WhenShown(fn);  // not up yet
      return;
    }
    fn(form);
  });
}

}  // namespace

class TestMessageDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiText::Instance().RegisterUiTextKeys(); }
  void init() {
    for (const QString& key : UiText::Instance().Keys())
      UiText::Instance().SetText(key, UiText::DefaultText(key));
    MessageDialogSeam::Clear();
  }

  void buttonsInFixedOrderWithTheirCaptions() {
    UiText& t = UiText::Instance();
    t.SetText(u"dlg_yes", QStringLiteral("Ja"));
    t.SetText(u"dlg_no", QStringLiteral("Nein"));
    t.SetText(u"dlg_ok", QStringLiteral("Gut"));
    t.SetText(u"dlg_cancel", QStringLiteral("Abbrechen"));
    const MsgDlgButtons all = MsgDlgBtn::Help | MsgDlgBtn::YesToAll | MsgDlgBtn::NoToAll |
                              MsgDlgBtn::All | MsgDlgBtn::Ignore | MsgDlgBtn::Retry |
                              MsgDlgBtn::Abort | MsgDlgBtn::Cancel | MsgDlgBtn::OK | MsgDlgBtn::No |
                              MsgDlgBtn::Yes;
    MessageBoxDialog form("Text", MsgDlgType::Information, all);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QStringList order = {"btnYes",     "btnNo",       "btnOK",     "btnCancel",
                               "btnAbort",   "btnRetry",    "btnIgnore", "btnAll",
                               "btnNoToAll", "btnYesToAll", "btnHelp"};
    int lastX = -1;
    for (const QString& name : order) {
      auto* b = form.findChild<QPushButton*>(name);
      QVERIFY2(b && b->isVisible(), qPrintable(name));
      QVERIFY2(b->x() > lastX, qPrintable(name));
      QCOMPARE(b->y(), form.findChild<QPushButton*>("btnYes")->y());  // one row
      lastX = b->x();
      QVERIFY(!b->text().isEmpty());
    }
    QCOMPARE(form.Button(MsgDlgBtn::Yes)->text(), QStringLiteral("Ja"));
    QCOMPARE(form.Button(MsgDlgBtn::No)->text(), QStringLiteral("Nein"));
    QCOMPARE(form.Button(MsgDlgBtn::OK)->text(), QStringLiteral("Gut"));
    QCOMPARE(form.Button(MsgDlgBtn::Cancel)->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(form.findChild<QLabel*>("lblMessage")->y() < form.Button(MsgDlgBtn::Yes)->y(), true);

    MessageBoxDialog some("Text", MsgDlgType::Information, MsgDlgBtn::Cancel | MsgDlgBtn::Yes);
    QCOMPARE(some.findChildren<QPushButton*>().size(), 2);
    QVERIFY(!some.Button(MsgDlgBtn::OK));
  }

  void titleAndIconFollowTheKind_data() {
    QTest::addColumn<MsgDlgType>("kind");
    QTest::addColumn<bool>("hasIcon");
    QTest::newRow("warning") << MsgDlgType::Warning << true;
    QTest::newRow("error") << MsgDlgType::Error << true;
    QTest::newRow("information") << MsgDlgType::Information << true;
    QTest::newRow("confirmation") << MsgDlgType::Confirmation << true;
    QTest::newRow("custom") << MsgDlgType::Custom << false;
  }
  void titleAndIconFollowTheKind() {
    QFETCH(MsgDlgType, kind);
    QFETCH(bool, hasIcon);
    MessageBoxDialog form("<b>not markup</b>", kind, MsgDlgBtn::OK);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("Vornex Account Manager"));
    auto* icon = form.findChild<QLabel*>("lblIcon");
    QCOMPARE(icon->isVisible(), hasIcon);
    QCOMPARE(!icon->pixmap().isNull(), hasIcon);
    auto* message = form.findChild<QLabel*>("lblMessage");
    QCOMPARE(message->text(), QStringLiteral("<b>not markup</b>"));
    QCOMPARE(message->textFormat(), Qt::PlainText);
  }

  void iconsDifferByKind() {
    QList<QImage> images;
    for (MsgDlgType kind : {MsgDlgType::Warning, MsgDlgType::Error, MsgDlgType::Information,
                            MsgDlgType::Confirmation}) {
      MessageBoxDialog form("x", kind, MsgDlgBtn::OK);
      images << form.findChild<QLabel*>("lblIcon")->pixmap().toImage();
    }
    for (int i = 0; i < images.size(); ++i)
      for (int j = i + 1; j < images.size(); ++j) QVERIFY(images[i] != images[j]);
  }

  void enterAndEscape_data() {
    QTest::addColumn<MsgDlgButtons>("buttons");
    QTest::addColumn<MsgDlgBtn>("onEnter");  // None: the dialog stays open
    QTest::addColumn<MsgDlgBtn>("onEscape");
    QTest::newRow("OK alone") << MsgDlgButtons(MsgDlgBtn::OK) << MsgDlgBtn::OK << MsgDlgBtn::OK;
    QTest::newRow("Yes No Cancel") << (MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel)
                                   << MsgDlgBtn::Yes << MsgDlgBtn::Cancel;
    QTest::newRow("Yes No") << (MsgDlgBtn::Yes | MsgDlgBtn::No) << MsgDlgBtn::Yes << MsgDlgBtn::No;
    QTest::newRow("OK Cancel") << (MsgDlgBtn::OK | MsgDlgBtn::Cancel) << MsgDlgBtn::OK
                               << MsgDlgBtn::Cancel;
    QTest::newRow("OK before Yes")
        << (MsgDlgBtn::Yes | MsgDlgBtn::OK | MsgDlgBtn::No) << MsgDlgBtn::OK << MsgDlgBtn::No;
    QTest::newRow("Retry Cancel") << (MsgDlgBtn::Retry | MsgDlgBtn::Cancel) << MsgDlgBtn::Retry
                                  << MsgDlgBtn::Cancel;
    QTest::newRow("Abort Retry Ignore")
        << (MsgDlgBtn::Abort | MsgDlgBtn::Retry | MsgDlgBtn::Ignore) << MsgDlgBtn::Retry << kNone;
    // Without a default button, Enter presses the focused one.
    QTest::newRow("Cancel alone") << MsgDlgButtons(MsgDlgBtn::Cancel) << MsgDlgBtn::Cancel
                                  << MsgDlgBtn::Cancel;
  }
  void enterAndEscape() {
    QFETCH(MsgDlgButtons, buttons);
    QFETCH(MsgDlgBtn, onEnter);
    QFETCH(MsgDlgBtn, onEscape);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      const MsgDlgBtn expected = key == Qt::Key_Escape ? onEscape : onEnter;
      MessageBoxDialog form("Question", MsgDlgType::Confirmation, buttons);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QTest::keyClick(&form, key);
      if (expected == kNone) {
        QVERIFY(form.isVisible());
      } else {
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Result(), expected);
      }
    }
  }

  // A question whose Yes loses work names No as its default: Enter answers No.
  void chosenDefaultTakesEnter() {
    MessageBoxDialog form("Drop the changes?", MsgDlgType::Confirmation,
                          MsgDlgBtn::Yes | MsgDlgBtn::No, nullptr, MsgDlgBtn::No);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.DefaultButton(), MsgDlgBtn::No);
    QVERIFY(form.Button(MsgDlgBtn::No)->isDefault());
    QTest::keyClick(&form, Qt::Key_Return);
    QCOMPARE(form.Result(), MsgDlgBtn::No);
  }

  void closingByTheFrameReturnsCancel() {
    MessageBoxDialog form("Question", MsgDlgType::Confirmation, MsgDlgBtn::OK);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.close());
    QCOMPARE(form.Result(), MsgDlgBtn::Cancel);
  }

  void clickingReturnsThatButton() {
    MessageBoxDialog form("Question", MsgDlgType::Confirmation,
                          MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel);
    form.show();
    QTest::mouseClick(form.Button(MsgDlgBtn::No), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.Result(), MsgDlgBtn::No);
  }

  void modalCallReturnsThePressedButtonAndIsCentred() {
    QRect geometry;
    WhenShown([&geometry](MessageBoxDialog* form) {
      geometry = form->frameGeometry();
      QTest::mouseClick(form->Button(MsgDlgBtn::No), Qt::LeftButton);
    });
    QCOMPARE(MessageDialog("Save changes?", MsgDlgType::Confirmation,
                           MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::Cancel),
             MsgDlgBtn::No);
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2(
        (geometry.center() - screenCentre).manhattanLength() <= 2,
        qPrintable(QStringLiteral("%1,%2").arg(geometry.center().x()).arg(geometry.center().y())));

    WhenShown([](MessageBoxDialog* form) { form->close(); });
    QCOMPARE(
        MessageDialog("Save changes?", MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No),
        MsgDlgBtn::Cancel);

    WhenShown([](MessageBoxDialog* form) { QTest::keyClick(form, Qt::Key_Escape); });
    QCOMPARE(MessageDialog("Note", MsgDlgType::Error, MsgDlgBtn::OK), MsgDlgBtn::OK);
  }

  void seamAnswersWithoutShowingAndRecordsCalls() {
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Cancel);
    MessageDialogSeam::SetNextAnswer(MsgDlgBtn::Yes);
    QCOMPARE(MessageDialogSeam::PendingAnswers(), 2);
    QCOMPARE(MessageDialog("first", MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::Cancel),
             MsgDlgBtn::Cancel);
    QCOMPARE(MessageDialog("second", MsgDlgType::Warning, MsgDlgBtn::Yes), MsgDlgBtn::Yes);
    QCOMPARE(MessageDialogSeam::PendingAnswers(), 0);
    const auto calls = MessageDialogSeam::Calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].text, QStringLiteral("first"));
    QCOMPARE(calls[0].kind, MsgDlgType::Confirmation);
    QCOMPARE(calls[0].buttons, MsgDlgBtn::Yes | MsgDlgBtn::Cancel);
    QCOMPARE(calls[1].kind, MsgDlgType::Warning);
  }
};

QTEST_MAIN(TestMessageDialog)
#include "tst_messagedialog.moc"
