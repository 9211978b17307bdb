#include "ui/mainwindow/InfoBox.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#include "ui/settings/UiText.h"

namespace kov {

namespace {

constexpr int kWidth = 400;
constexpr int kBannerHeight = 60;

constexpr const char* kDeveloperAddress = "developers@vornex-accounts.example.org";
struct Credit {
  const char* line;
  const char* address;
};
constexpr Credit kCredits[] = {
    {"Mira Kestrel, shard Ashgrove", "mira.kestrel@vornex-accounts.example.org"},
    {"Tobias Wend, shard Northmarch", "tobias.wend@vornex-accounts.example.org"},
};

InfoBox::UrlOpener& Opener() {
  static InfoBox::UrlOpener opener;
  return opener;
}

// The banner: a night sky over hills with a keyhole, drawn rather than stored.
QPixmap PaintBanner() {
  QPixmap pixmap(kWidth, kBannerHeight);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, kWidth, kBannerHeight);
  sky.setColorAt(0, QColor(18, 32, 64));
  sky.setColorAt(1, QColor(40, 96, 120));
  p.fillRect(pixmap.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 120));
  const QPointF stars[] = {{30, 8}, {75, 20}, {130, 6}, {190, 15}, {250, 9}, {320, 18}, {370, 7}};
  for (const QPointF& s : stars) p.drawEllipse(s, 1.2, 1.2);
  QPainterPath hills;
  hills.moveTo(0, kBannerHeight);
  hills.cubicTo(80, 30, 160, 62, 240, 40);
  hills.cubicTo(300, 25, 350, 45, kWidth, 35);
  hills.lineTo(kWidth, kBannerHeight);
  hills.closeSubpath();
  p.setBrush(QColor(12, 48, 52));
  p.drawPath(hills);
  p.setBrush(QColor(230, 190, 80));
  p.drawEllipse(QPointF(28, 30), 12, 12);
  p.setBrush(QColor(18, 32, 64));
  p.drawEllipse(QPointF(28, 27), 3.5, 3.5);
  p.drawRect(QRectF(26.5, 28, 3, 9));
  QFont title = p.font();
  title.setPointSize(13);
  title.setBold(true);
  p.setFont(title);
  p.setPen(Qt::white);
  p.drawText(QRect(50, 6, kWidth - 60, 28), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Vornex Account Manager"));
  return pixmap;
}

}  // namespace

QString FourPartVersion(const QString& version) {
  const QStringList parts = version.split(QLatin1Char('.'));
  int n[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4 && i < parts.size(); ++i) n[i] = parts[i].toInt();
  return QStringLiteral("%1.%2.%3.%4").arg(n[0]).arg(n[1]).arg(n[2]).arg(n[3]);
}

QString ReadVersionNumber(const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isFile()) return {};
  return FourPartVersion(QStringLiteral(KOV_VERSION));
}

QString SystemLine() {
  QString product = QSysInfo::prettyProductName();
  QString servicePack;
  int build = 0;
#ifdef Q_OS_WIN
  // "10.0.19045": the last part is the build.
  const QStringList parts = QSysInfo::kernelVersion().split(QLatin1Char('.'));
  if (parts.size() >= 3) build = parts[2].toInt();
#else
  servicePack = QSysInfo::kernelVersion();
#endif
  return FormatText(Ui("ext_Info_Build"), {product, servicePack, build});
}

void InfoBox::SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

void InfoBox::OpenLink(const QUrl& url) {
  // Whether a mail program took it is not looked at: no mail program means no mail.
  if (Opener())
    Opener()(url);
  else
    QDesktopServices::openUrl(url);
}

InfoBox::InfoBox(const QString& programFile, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form3"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(Ui("f1_Action_Help"));
  setModal(true);

  m_banner = new QLabel(this);
  m_banner->setObjectName(QStringLiteral("Image1"));
  m_banner->setPixmap(PaintBanner());
  m_banner->setFixedSize(kWidth, kBannerHeight);
  m_version = new QLabel(m_banner);
  m_version->setObjectName(QStringLiteral("LabelVersion"));
  m_version->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  m_version->setAlignment(Qt::AlignRight | Qt::AlignBottom);
  m_version->setGeometry(kWidth - 206, kBannerHeight - 22, 200, 18);

  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("Panel1"));
  frame->setFrameShape(QFrame::StyledPanel);
  auto* grid = new QGridLayout(frame);
  m_copyright = new QLabel(frame);
  m_copyright->setObjectName(QStringLiteral("LabelCopyRight"));
  m_copyright->setWordWrap(true);
  grid->addWidget(m_copyright, 0, 0);
  grid->addWidget(AddMailLink(QString::fromLatin1(kDeveloperAddress)), 0, 1, Qt::AlignRight);
  auto* heading = new QLabel(frame);
  heading->setObjectName(QStringLiteral("LabelBeta"));
  m_betaHeading = heading;
  QFont underlined = heading->font();
  underlined.setUnderline(true);
  heading->setFont(underlined);
  grid->addWidget(heading, 1, 0, 1, 2);
  int row = 2;
  for (const Credit& c : kCredits) {
    grid->addWidget(new QLabel(QString::fromUtf8(c.line), frame), row, 0);
    grid->addWidget(AddMailLink(QString::fromLatin1(c.address)), row, 1, Qt::AlignRight);
    ++row;
  }
  auto* rule = new QFrame(frame);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  grid->addWidget(rule, row++, 0, 1, 2);
  m_system = new QLabel(frame);
  m_system->setObjectName(QStringLiteral("LabelSystem"));
  m_system->setWordWrap(true);
  grid->addWidget(m_system, row++, 0, 1, 2);
  m_folder = new QLabel(frame);
  m_folder->setObjectName(QStringLiteral("LabelSettingsFolder"));
  m_folder->setWordWrap(true);
  m_folder->setTextFormat(Qt::PlainText);
  m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_folder->hide();
  grid->addWidget(m_folder, row++, 0, 1, 2);
  m_close = new QPushButton(frame);
  m_close->setObjectName(QStringLiteral("btnClose"));
  m_close->setFlat(true);
  m_close->setDefault(true);
  connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(m_close, row, 0, 1, 2, Qt::AlignRight);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 6);
  layout->addWidget(m_banner);
  auto* frameRow = new QHBoxLayout;
  frameRow->setContentsMargins(6, 0, 6, 0);
  frameRow->addWidget(frame);
  layout->addLayout(frameRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  m_versionNumber = ReadVersionNumber(programFile);
  ApplyUiText();
}

QLabel* InfoBox::AddMailLink(const QString& address) {
  auto* link = new QLabel(this);
  link->setObjectName(QStringLiteral("MailLink%1").arg(m_mailLinks.size() + 1));
  const QString url = QStringLiteral("mailto:") + address;
  link->setProperty("mailUrl", url);
  link->setTextFormat(Qt::RichText);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setOpenExternalLinks(false);
  link->setCursor(Qt::PointingHandCursor);
  link->setToolTip(address);
  connect(link, &QLabel::linkActivated, this, [](const QString& href) { OpenLink(QUrl(href)); });
  m_mailLinks.append(link);
  return link;
}

void InfoBox::ApplyUiText() {
  setWindowTitle(Ui("f1_Action_Help"));
  m_betaHeading->setText(Ui("ext_Info_BetaTesting"));
  m_version->setText(FormatText(Ui("ext_Info_Version"), {m_versionNumber}));
  for (QLabel* link : m_mailLinks) {
    const QString url = link->property("mailUrl").toString();
    link->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                      .arg(url.toHtmlEscaped(), Ui("ext_Info_MailLink").toHtmlEscaped()));
  }
  m_copyright->setText(Ui("Info_Label_CopyRight"));
  m_close->setText(Ui("Info_Button_Cancel"));
  m_system->setText(SystemLine());
}

QString InfoBox::VersionText() const { return m_version->text(); }

void InfoBox::SetSettingsFolder(const QString& folder) {
  m_folder->setText(QStringLiteral("kov.ini: ") + QDir::toNativeSeparators(folder));
  m_folder->setVisible(!folder.isEmpty());
}

}  // namespace kov
