#include "SerialMainQueue.h"

namespace quillane::qt {

void SerialMainQueue::post(std::function<void()> block) {
  {
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
  }
  QMetaObject::invokeMethod(this, [this] { drain(); }, Qt::QueuedConnection);
}

void SerialMainQueue::drain() {
  if (draining_) return;  // a block further up the stack is running; it drains when it returns
  draining_ = true;
  for (;;) {
    std::function<void()> block;
    {
      std::lock_guard lock(mutex_);
      if (blocks_.empty()) break;
      block = std::move(blocks_.front());
      blocks_.pop_front();
    }
    block();
  }
  draining_ = false;
}

}  // namespace quillane::qt
