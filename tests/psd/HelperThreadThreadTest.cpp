#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "psd/HelperThread.h"

namespace quillane {
namespace {

TEST(HelperThreadThread, EveryTaskRunsOnceInEveryBatchAndFailuresReachTheCaller) {
  HelperThread helper;
  for (int batch = 0; batch < 2000; ++batch) {
    const int count = batch % 7;
    std::vector<std::atomic<int>> runs(std::size_t(count) + 1);
    std::vector<int> results(std::size_t(count), 0);  // written by either thread
    helper.run(count, [&](int task) {
      ++runs[std::size_t(task)];
      results[std::size_t(task)] = task * batch;
    });
    for (int task = 0; task < count; ++task) {
      ASSERT_EQ(runs[std::size_t(task)], 1) << "batch " << batch << " task " << task;
      ASSERT_EQ(results[std::size_t(task)], task * batch);
    }
  }
  for (const int failing : {0, 3, 5}) {
    EXPECT_THROW(helper.run(6,
                            [&](int task) {
                              if (task == failing) throw std::runtime_error("task failed");
                            }),
                 std::runtime_error);
  }
  // Still usable after a failure, and the helper really takes tasks: the first task waits
  // (a few seconds at most) until the second has started, which only another thread can do.
  std::atomic<bool> secondStarted{false};
  std::thread::id threads[2];
  helper.run(2, [&](int task) {
    threads[task] = std::this_thread::get_id();
    if (task == 1) {
      secondStarted = true;
      return;
    }
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!secondStarted && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
  });
  EXPECT_TRUE(secondStarted);
  EXPECT_NE(threads[0], threads[1]);
}

}  // namespace
}  // namespace quillane
