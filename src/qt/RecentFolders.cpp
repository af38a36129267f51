#include "RecentFolders.h"

#include "LocalizedText.h"

namespace quillane::qt {
namespace {

constexpr const char* kRecentFoldersKey = "RecentFolders";
// Enough to find the folders of the last days' work; a longer menu gets hard to read.
constexpr int kMaxRecentFolders = 10;

}  // namespace

RecentFolders::RecentFolders(QMenu* menu, QSettings& settings,
                             std::function<void(const std::string&)> open,
                             std::function<void()> clear)
    : menu_(menu), settings_(settings), open_(std::move(open)), clear_(std::move(clear)) {
  rebuildMenu();
}

QStringList RecentFolders::folders() const {
  return settings_.value(kRecentFoldersKey).toStringList();
}

void RecentFolders::noteNewRecentDocument(const std::string& path) {
  const QString folder = QString::fromStdString(path);
  QStringList list = folders();
  list.removeAll(folder);
  list.prepend(folder);
  while (list.size() > kMaxRecentFolders) list.removeLast();
  store(list);
}

void RecentFolders::removeRecentDocument(const std::string& path) {
  QStringList list = folders();
  if (list.removeAll(QString::fromStdString(path)) > 0) store(list);
}

void RecentFolders::store(const QStringList& list) {
  settings_.setValue(kRecentFoldersKey, list);
  settings_.sync();
  rebuildMenu();
}

void RecentFolders::clearRecentDocuments() {
  settings_.remove(kRecentFoldersKey);
  settings_.sync();
  rebuildMenu();
}

void RecentFolders::rebuildMenu() {
  menu_->clear();
  for (const QString& folder : folders()) {
    QAction* entry = menu_->addAction(folder);
    connect(entry, &QAction::triggered, this, [this, folder] { open_(folder.toStdString()); });
  }
  menu_->addSeparator();
  QAction* clear = menu_->addAction(localizedText("MENU_CLEAR_RECENT"));
  clear->setEnabled(!folders().isEmpty());
  connect(clear, &QAction::triggered, this, [this] { clear_(); });
}

}  // namespace quillane::qt
