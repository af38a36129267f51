#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "util/Log.h"

namespace quillane::testsupport {

// Collects the log lines written while it lives, from any thread; the sink before it comes
// back at its end.
class LogCapture {
 public:
  LogCapture() {
    previous_ = setLogSink([this](std::string_view line) {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(line);
    });
  }
  ~LogCapture() { setLogSink(previous_); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool contains(const std::string& line) const {
    for (const std::string& each : lines())
      if (each == line) return true;
    return false;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  LogSink previous_;
};

}  // namespace quillane::testsupport
