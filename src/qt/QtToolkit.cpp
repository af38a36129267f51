#include "QtToolkit.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <cmath>

#include "util/Strings.h"

namespace quillane::qt {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

class QtTimer final : public toolkit::Timer {
 public:
  QtTimer(double seconds, std::function<void()> fire) {
    timer_.setInterval(static_cast<int>(std::lround(seconds * 1000.0)));
    QObject::connect(&timer_, &QTimer::timeout, std::move(fire));
    timer_.start();
  }
  void invalidate() override { timer_.stop(); }

 private:
  QTimer timer_;
};

}  // namespace

QtToolkit::QtToolkit(QWidget* window, SerialMainQueue& queue, QSettingsStore& settings,
                     RecentFolders& recent, std::function<void()> commandsChanged)
    : window_(window),
      queue_(queue),
      settings_(settings),
      recent_(recent),
      commandsChanged_(std::move(commandsChanged)) {}

void QtToolkit::beginOpenPanel(const toolkit::OpenPanelOptions& options,
                               std::function<void(int, std::vector<toolkit::ChosenUrl>)> done) {
  auto* panel = new QFileDialog(window_);
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->setFileMode(options.canChooseFiles ? QFileDialog::ExistingFile : QFileDialog::Directory);
  panel->setOption(QFileDialog::ShowDirsOnly, !options.canChooseFiles);
  panel->setOption(QFileDialog::ReadOnly, !options.canCreateDirectories);
  panel->setLabelText(QFileDialog::Accept, qs(options.prompt));
  panel->setDirectory(qs(options.directory));
  panel->setWindowModality(Qt::WindowModal);
  QObject::connect(panel, &QFileDialog::finished, panel, [panel, done = std::move(done)](int result) {
    std::vector<toolkit::ChosenUrl> urls;
    for (const QUrl& url : panel->selectedUrls())
      urls.push_back({url.toDisplayString().toStdString(), url.isLocalFile(),
                      url.isLocalFile() ? url.toLocalFile().toStdString() : std::string()});
    done(result == QDialog::Accepted ? toolkit::kPanelOK : toolkit::kPanelCancel, std::move(urls));
  });
  panel->open();
}

toolkit::SavePanelResult QtToolkit::runSavePanel(const toolkit::SavePanelOptions& options) {
  QFileDialog panel(window_, qs(options.title));
  panel.setAcceptMode(QFileDialog::AcceptSave);
  panel.setLabelText(QFileDialog::Accept, qs(options.prompt));
  QStringList filters;
  for (const std::string& type : options.allowedFileTypes)
    filters << qs(type).toUpper() + " (*." + qs(type) + ")";
  panel.setNameFilters(filters);
  // A name typed without an extension gets the first type's, before the panel asks whether to
  // replace an existing file of that name.
  if (!options.allowedFileTypes.empty())
    panel.setDefaultSuffix(qs(options.allowedFileTypes.front()));
  panel.setDirectory(qs(options.directory));
  panel.selectFile(qs(options.nameFieldValue));
  panel.setWindowModality(Qt::WindowModal);
  if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty()) return {};
  return {toolkit::kPanelOK, panel.selectedFiles().front().toStdString()};
}

void QtToolkit::runAlert(const std::string& message, const std::string& detail) {
  QMessageBox alert(QMessageBox::Warning, QApplication::applicationDisplayName(), qs(message),
                    QMessageBox::Ok, window_);
  alert.setInformativeText(qs(detail));
  alert.setDefaultButton(QMessageBox::Ok);
  alert.setEscapeButton(QMessageBox::Ok);
  alert.setWindowModality(Qt::WindowModal);
  // An alert that no click of the user brought up (a job's failure) takes the keyboard all
  // the same, so that Enter and Escape answer it.
  alert.show();
  alert.raise();
  alert.activateWindow();
  alert.exec();
}

std::unique_ptr<toolkit::Timer> QtToolkit::scheduleTimer(double seconds,
                                                         std::function<void()> fire) {
  return std::make_unique<QtTimer>(seconds, std::move(fire));
}

std::string QtToolkit::localizedString(const std::string& key) {
  return quillane::localizedString(key);
}

std::string QtToolkit::homeDirectory() { return QDir::homePath().toStdString(); }

void QtToolkit::watchFolder(const std::string& folder, std::function<void()> changed) {
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  watcher_.disconnect();
  if (folder.empty()) return;
  watcher_.addPath(qs(folder));
  QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, std::move(changed));
}

// The file manager selects the file when it answers the desktop's ShowItems call; otherwise
// the folder opens.
void QtToolkit::revealInFileManager(const std::string& path) {
  const QUrl file = QUrl::fromLocalFile(qs(path));
  QDBusMessage call = QDBusMessage::createMethodCall(
      "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
      "org.freedesktop.FileManager1", "ShowItems");
  call << QStringList{file.toString()} << QString();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
  if (reply.type() != QDBusMessage::ReplyMessage)
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(qs(path)).absolutePath()));
}

void QtToolkit::terminate() { QApplication::quit(); }

}  // namespace quillane::qt
