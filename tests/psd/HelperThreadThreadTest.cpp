#include <gtest/gtest.h>

#include <atomic>
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
  // Still usable after a failure; slow tasks give the helper its share.
  std::atomic<int> done{0};
  helper.run(8, [&](int) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ++done;
  });
  EXPECT_EQ(done, 8);
}

}  // namespace
}  // namespace quillane
