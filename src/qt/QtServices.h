#pragma once

#include <QFileSystemWatcher>
#include <QObject>

#include "app/AppServices.h"

namespace quillane::qt {

class MainWindow;

// The controller's services on Qt's event loop. Tasks posted from any thread run on the main
// thread in posting order; those still queued when this goes are dropped.
class QtServices final : public AppServices {
 public:
  // Quitting closes the window, which quits the application as its last window.
  explicit QtServices(MainWindow* window) : window_(window) {}

  void postToMainThread(std::function<void()> task) override;
  std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval,
                                    std::function<void()> tick) override;
  std::unique_ptr<Timer> startSingleShot(std::chrono::milliseconds delay,
                                         std::function<void()> task) override;
  void watchFolder(const std::string& folder, std::function<void()> changed) override;
  bool revealInFileManager(const std::string& path) override;
  void quit() override;
  std::string homeFolder() const override;
  std::chrono::steady_clock::time_point now() const override {
    return std::chrono::steady_clock::now();
  }

 private:
  MainWindow* window_;
  QObject receiver_;  // the main thread's: queued tasks run in its thread
  QFileSystemWatcher watcher_;
};

}  // namespace quillane::qt
