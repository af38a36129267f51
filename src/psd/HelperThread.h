#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quillane {

// A second thread that shares batches of tasks with its owner. run() does tasks on the
// calling thread and lets the helper take the others; it returns once every task is done.
// The helper is started once: a batch costs no thread start, and a caller never waits for a
// helper that the system has not scheduled yet (it simply does all the tasks itself).
class HelperThread {
 public:
  HelperThread();
  ~HelperThread();
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;

  // Runs work(0) .. work(count - 1), each once, here and on the helper; raises the first
  // failure of either once both have stopped.
  void run(int count, const std::function<void(int)>& work);

 private:
  void helperLoop();
  std::exception_ptr takeTasks(const std::function<void(int)>& work, int count);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  // The batch, guarded by mutex_; the next task index is taken without it.
  const std::function<void(int)>* work_ = nullptr;
  int count_ = 0;
  std::uint64_t batch_ = 0;
  bool helperBusy_ = false;
  bool stopping_ = false;
  std::exception_ptr helperFailure_;
  std::atomic<int> next_{0};
  std::thread thread_;
};

}  // namespace quillane
