#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace quillane {

// A shared pointer that one thread replaces while another reads it: every load sees the old
// or the new pointer whole, and keeps what it loaded alive. libstdc++ 12's
// std::atomic<std::shared_ptr> hides its lock in a pointer bit, which ThreadSanitizer cannot
// see; a plain mutex held for a pointer copy costs the same and is checked.
template <typename T>
class SharedValue {
 public:
  SharedValue() = default;
  explicit SharedValue(std::shared_ptr<T> value) : value_(std::move(value)) {}
  SharedValue(const SharedValue&) = delete;
  SharedValue& operator=(const SharedValue&) = delete;

  std::shared_ptr<T> load() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

  void store(std::shared_ptr<T> value) {
    std::shared_ptr<T> previous;
    {
      std::lock_guard lock(mutex_);
      previous = std::exchange(value_, std::move(value));
    }
    // previous is released here, outside the lock
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<T> value_;
};

}  // namespace quillane
