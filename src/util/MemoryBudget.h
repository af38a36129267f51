#pragma once

#include <cstddef>

namespace quillane {

// The most bytes one decoded image may take. A 30000 x 30000 image is legal (3.6 GB of
// RGBA), but a file of a few bytes can declare it; an image is refused from its header when
// its raster would exceed this budget, instead of driving the machine into swapping or the
// out-of-memory killer. The job holds about five rasters at once (the image, its keyed copy,
// two images decoded ahead, the composite), so the budget is a sixth of the memory the
// process may use: physical memory, or a lower address-space limit.
std::size_t imageByteBudget();

// Replaces the budget (0 restores the default). For fuzzing and tests, which must not
// allocate gigabytes for a legal declaration.
void setImageByteBudget(std::size_t bytes);

// Lowers the budget for the calling thread while it lives (never raises it): for work done
// ahead of need, which must stay small.
class ThreadImageByteLimit {
 public:
  explicit ThreadImageByteLimit(std::size_t bytes);
  ~ThreadImageByteLimit();
  ThreadImageByteLimit(const ThreadImageByteLimit&) = delete;
  ThreadImageByteLimit& operator=(const ThreadImageByteLimit&) = delete;

 private:
  std::size_t previous_;
};

// Whether an RGBA8 raster of width x height fits the budget.
bool fitsImageByteBudget(long long width, long long height);

}  // namespace quillane
