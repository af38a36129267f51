#pragma once

#include <QMenu>
#include <QSettings>
#include <functional>

#include "app/Toolkit.h"

namespace quillane::qt {

// The recent-folders list, kept in the settings store, and the File > Open Recent menu built
// from it: one entry per folder, newest first, then "Clear Menu".
class RecentFolders final : public QObject, public toolkit::RecentList {
  Q_OBJECT
 public:
  RecentFolders(QMenu* menu, QSettings& settings, std::function<void(const std::string&)> open,
                std::function<void()> clear);
  void noteNewRecentDocument(const std::string& path) override;
  void removeRecentDocument(const std::string& path) override;
  void clearRecentDocuments() override;
  QStringList folders() const;

 private:
  void store(const QStringList& list);
  void rebuildMenu();

  QMenu* menu_;
  QSettings& settings_;
  std::function<void(const std::string&)> open_;
  std::function<void()> clear_;
};

}  // namespace quillane::qt
