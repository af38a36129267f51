#include "job/DecodeQueue.h"

namespace quillane {

DecodeQueue::DecodeQueue(unsigned workers) {
  workers_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

DecodeQueue::~DecodeQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  pushed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

std::future<Decoded<DecodedImage>> DecodeQueue::push(Decode decode) {
  std::packaged_task<Decoded<DecodedImage>()> task(std::move(decode));
  std::future<Decoded<DecodedImage>> image = task.get_future();
  {
    std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(task));
  }
  pushed_.notify_one();
  return image;
}

void DecodeQueue::work() {
  for (;;) {
    std::packaged_task<Decoded<DecodedImage>()> task;
    {
      std::unique_lock lock(mutex_);
      pushed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      task = std::move(waiting_.front());
      waiting_.pop_front();
    }
    task();
  }
}

}  // namespace quillane
