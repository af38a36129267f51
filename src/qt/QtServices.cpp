#include "QtServices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include "MainWindow.h"

namespace quillane::qt {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// The name under which the package installs this application's desktop entry.
constexpr const char* kDesktopEntry = "quillane-app.desktop";

class QtTimer final : public Timer {
 public:
  QtTimer(std::chrono::milliseconds interval, bool singleShot, std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    timer_.setSingleShot(singleShot);
    timer_.start(interval);
  }

 private:
  QTimer timer_;
};

// The desktop's default handler of folders, or an empty string when none is known.
QString defaultFolderHandler() {
  QProcess query;
  query.start("xdg-mime", {"query", "default", "inode/directory"});
  if (!query.waitForFinished(3000) || query.exitCode() != 0) return {};
  return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

}  // namespace

void QtServices::postToMainThread(std::function<void()> task) {
  QMetaObject::invokeMethod(&receiver_, std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<Timer> QtServices::startTimer(std::chrono::milliseconds interval,
                                              std::function<void()> tick) {
  return std::make_unique<QtTimer>(interval, false, std::move(tick));
}

std::unique_ptr<Timer> QtServices::startSingleShot(std::chrono::milliseconds delay,
                                                   std::function<void()> task) {
  return std::make_unique<QtTimer>(delay, true, std::move(task));
}

void QtServices::watchFolder(const std::string& folder, std::function<void()> changed) {
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  watcher_.disconnect();
  if (folder.empty()) return;
  watcher_.addPath(qs(folder));
  QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, std::move(changed));
}

// The file manager selects the file when it answers the desktop's ShowItems call; otherwise
// the folder opens in the default folder handler, unless that is this application, which
// would only open a second window of itself.
bool QtServices::revealInFileManager(const std::string& path) {
  const QUrl file = QUrl::fromLocalFile(qs(path));
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{file.toString()} << QString();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
  if (reply.type() == QDBusMessage::ReplyMessage) return true;
  if (defaultFolderHandler() == kDesktopEntry) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(qs(path)).absolutePath()));
}

void QtServices::quit() { window_->closeWithoutAsking(); }

std::string QtServices::homeFolder() const { return QDir::homePath().toStdString(); }

}  // namespace quillane::qt
