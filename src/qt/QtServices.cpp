#include "QtServices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUrl>

namespace quillane::qt {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

class QtTimer final : public RepeatingTimer {
 public:
  QtTimer(std::chrono::milliseconds interval, std::function<void()> tick) {
    QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
    timer_.start(interval);
  }

 private:
  QTimer timer_;
};

}  // namespace

void QtServices::postToMainThread(std::function<void()> task) {
  QMetaObject::invokeMethod(&receiver_, std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<RepeatingTimer> QtServices::startTimer(std::chrono::milliseconds interval,
                                                       std::function<void()> tick) {
  return std::make_unique<QtTimer>(interval, std::move(tick));
}

void QtServices::watchFolder(const std::string& folder, std::function<void()> changed) {
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  watcher_.disconnect();
  if (folder.empty()) return;
  watcher_.addPath(qs(folder));
  QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, std::move(changed));
}

// The file manager selects the file when it answers the desktop's ShowItems call; otherwise
// the folder opens.
void QtServices::revealInFileManager(const std::string& path) {
  const QUrl file = QUrl::fromLocalFile(qs(path));
  QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                     "/org/freedesktop/FileManager1",
                                                     "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{file.toString()} << QString();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
  if (reply.type() != QDBusMessage::ReplyMessage)
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(qs(path)).absolutePath()));
}

void QtServices::quit() { window_->close(); }

std::string QtServices::homeFolder() const { return QDir::homePath().toStdString(); }

}  // namespace quillane::qt
