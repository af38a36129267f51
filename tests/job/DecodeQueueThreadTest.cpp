#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job/DecodeQueue.h"

namespace quillane {
namespace {

// An image that names its index by its width.
Image imageNumbered(int index) { return Image(Size{float(index + 1), 1.0f}); }

TEST(DecodeQueue, EveryDecodeGivesItsOwnResultOrItsFailure) {
  DecodeQueue queue(2);
  std::vector<std::future<std::optional<Image>>> images;
  for (int i = 0; i < 200; ++i) {
    images.push_back(queue.push([i]() -> std::optional<Image> {
      if (i % 50 == 7) throw std::runtime_error("cannot decode");
      if (i % 10 == 3) return std::nullopt;
      return imageNumbered(i);
    }));
  }
  for (int i = 0; i < 200; ++i) {
    if (i % 50 == 7) {
      EXPECT_THROW(images[std::size_t(i)].get(), std::runtime_error);
      continue;
    }
    const std::optional<Image> image = images[std::size_t(i)].get();
    ASSERT_EQ(image.has_value(), i % 10 != 3) << i;
    if (image) {
      EXPECT_EQ(image->size().width, float(i + 1));
    }
  }
}

TEST(DecodeQueue, EndingDropsTheDecodesNotStarted) {
  std::atomic<int> ran{0};
  std::vector<std::future<std::optional<Image>>> images;
  {
    DecodeQueue queue(2);
    for (int i = 0; i < 100; ++i) {
      images.push_back(queue.push([&ran]() -> std::optional<Image> {
        ++ran;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return std::nullopt;
      }));
    }
  }
  EXPECT_LT(ran.load(), 100);
  EXPECT_THROW(images.back().get(), std::future_error);  // dropped: its promise is broken
}

}  // namespace
}  // namespace quillane
