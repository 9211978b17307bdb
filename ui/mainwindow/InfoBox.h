#pragma once
// The info box "Form3": banner, version, copyright and credits with mail links, and the
// line naming the operating system.
#include <QDialog>
#include <QList>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

namespace kov {

// The program's version "major.minor.release.build" when a file exists at `path`, else an
// empty text. The program carries its version from the build, not from a resource.
QString ReadVersionNumber(const QString& path);
// Any dotted version as four parts: "1.2" gives "1.2.0.0"; parts that are not numbers are 0.
QString FourPartVersion(const QString& version);
// "%s %s (Build %d)": product name, the service-pack text (the kernel release on Linux)
// and the build number (0 where the system has none).
QString SystemLine();

class InfoBox : public QDialog {
  Q_OBJECT

 public:
  // `programFile`: the executable whose version is shown.
  explicit InfoBox(const QString& programFile, QWidget* parent = nullptr);

  void ApplyUiText();
  // Where kov.ini and the backups are kept (beside the program, or the per-user folder).
  void SetSettingsFolder(const QString& folder);

  QString VersionText() const;
  QList<QLabel*> MailLinks() const { return m_mailLinks; }
  QPushButton* CloseButton() const { return m_close; }

  // Test seam: links go here instead of the desktop's mail program. Empty restores it.
  using UrlOpener = std::function<void(const QUrl&)>;
  static void SetUrlOpener(UrlOpener opener);

 private:
  QLabel* AddMailLink(const QString& address);
  static void OpenLink(const QUrl& url);

  QLabel* m_banner = nullptr;
  QLabel* m_version = nullptr;
  QLabel* m_copyright = nullptr;
  QLabel* m_system = nullptr;
  QLabel* m_folder = nullptr;
  QLabel* m_betaHeading = nullptr;
  QString m_versionNumber;
  QPushButton* m_close = nullptr;
  QList<QLabel*> m_mailLinks;
};

}  // namespace kov
