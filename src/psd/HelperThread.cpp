#include "psd/HelperThread.h"

namespace quillane {

HelperThread::HelperThread() : thread_([this] { helperLoop(); }) {}

HelperThread::~HelperThread() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::exception_ptr HelperThread::takeTasks(const std::function<void(int)>& work, int count) {
  try {
    for (int task = next_++; task < count; task = next_++) work(task);
  } catch (...) {
    next_ = count;  // the others stop taking tasks
    return std::current_exception();
  }
  return nullptr;
}

void HelperThread::run(int count, const std::function<void(int)>& work) {
  {
    std::unique_lock lock(mutex_);
    // A helper that joined the previous batch late (and found nothing left) is out of it
    // before the task counter starts again.
    idle_.wait(lock, [this] { return !helperBusy_; });
    work_ = &work;
    count_ = count;
    next_ = 0;
    helperFailure_ = nullptr;
    ++batch_;
  }
  wake_.notify_one();
  const std::exception_ptr failure = takeTasks(work, count);
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !helperBusy_; });
  if (failure) std::rethrow_exception(failure);
  if (helperFailure_) std::rethrow_exception(helperFailure_);
}

void HelperThread::helperLoop() {
  std::uint64_t seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
    if (stopping_) return;
    seen = batch_;
    helperBusy_ = true;
    const std::function<void(int)>& work = *work_;
    const int count = count_;
    lock.unlock();
    // Takes only what is left: the owner may have done everything already.
    const std::exception_ptr failure = takeTasks(work, count);
    lock.lock();
    if (failure) helperFailure_ = failure;
    helperBusy_ = false;
    idle_.notify_all();
  }
}

}  // namespace quillane
