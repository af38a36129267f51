#pragma once

#include <QFileSystemWatcher>
#include <QWidget>

#include "QSettingsStore.h"
#include "RecentFolders.h"
#include "SerialMainQueue.h"
#include "app/Toolkit.h"

namespace quillane::qt {

// The controller's services on Qt: panels, alerts and the sheet are window-modal over the
// main window; timers and the main queue run on Qt's event loop.
class QtToolkit final : public toolkit::Toolkit {
 public:
  QtToolkit(QWidget* window, SerialMainQueue& queue, QSettingsStore& settings,
            RecentFolders& recent, std::function<void()> commandsChanged);

  void beginOpenPanel(const toolkit::OpenPanelOptions& options,
                      std::function<void(int, std::vector<toolkit::ChosenUrl>)> done) override;
  toolkit::SavePanelResult runSavePanel(const toolkit::SavePanelOptions& options) override;
  void runAlert(const std::string& message, const std::string& detail) override;
  std::unique_ptr<toolkit::Timer> scheduleTimer(double seconds, std::function<void()> fire) override;
  toolkit::MainQueue& mainQueue() override { return queue_; }
  toolkit::SettingsStore& settings() override { return settings_; }
  toolkit::RecentList& recentList() override { return recent_; }
  std::string localizedString(const std::string& key) override;
  std::string homeDirectory() override;
  void watchFolder(const std::string& folder, std::function<void()> changed) override;
  void revealInFileManager(const std::string& path) override;
  void commandsChanged() override { commandsChanged_(); }
  void terminate() override;

 private:
  QWidget* window_;
  SerialMainQueue& queue_;
  QSettingsStore& settings_;
  RecentFolders& recent_;
  std::function<void()> commandsChanged_;
  QFileSystemWatcher watcher_;
};

}  // namespace quillane::qt
