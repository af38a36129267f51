#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quillane {

// A timer on the main thread; it stops when destroyed.
class Timer {
 public:
  virtual ~Timer() = default;
};

// What the controller needs from the desktop beside the window. Called on the main thread,
// except postToMainThread, which any thread may call.
class AppServices {
 public:
  virtual ~AppServices() = default;
  // Runs the task on the main thread, after the tasks posted before it.
  virtual void postToMainThread(std::function<void()> task) = 0;
  virtual std::unique_ptr<Timer> startTimer(std::chrono::milliseconds interval,
                                            std::function<void()> tick) = 0;
  // Runs the task once, after the delay, unless the timer is destroyed first.
  virtual std::unique_ptr<Timer> startSingleShot(std::chrono::milliseconds delay,
                                                 std::function<void()> task) = 0;
  // Calls changed whenever entries are added to, removed from or renamed in the folder; one
  // folder at a time, an empty path watches none.
  virtual void watchFolder(const std::string& folder, std::function<void()> changed) = 0;
  // Shows the file in the file manager; false when nothing could show it.
  virtual bool revealInFileManager(const std::string& path) = 0;
  // Ends the application; the window closes without asking.
  virtual void quit() = 0;
  virtual std::string homeFolder() const = 0;
  virtual std::chrono::steady_clock::time_point now() const = 0;
};

}  // namespace quillane
