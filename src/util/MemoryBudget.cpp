#include "util/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "util/CheckedSize.h"

namespace quillane {
namespace {

// The share of usable memory one image may take (see the header).
constexpr std::size_t kImageShareDivisor = 6;

std::atomic<std::size_t> budgetOverride{0};
thread_local std::size_t threadLimit = SIZE_MAX;

std::size_t usableMemoryBytes() {
  std::size_t usable = SIZE_MAX;
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageBytes = ::sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageBytes > 0) usable = checkedProduct(pages, pageBytes).value_or(SIZE_MAX);
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    usable = std::min<std::size_t>(usable, limit.rlim_cur);
  return usable;
}

}  // namespace

std::size_t imageByteBudget() {
  static const std::size_t byDefault = usableMemoryBytes() / kImageShareDivisor;
  const std::size_t chosen = budgetOverride.load(std::memory_order_relaxed);
  return std::min(chosen != 0 ? chosen : byDefault, threadLimit);
}

ThreadImageByteLimit::ThreadImageByteLimit(std::size_t bytes) : previous_(threadLimit) {
  threadLimit = std::min(threadLimit, bytes);
}

ThreadImageByteLimit::~ThreadImageByteLimit() { threadLimit = previous_; }

void setImageByteBudget(std::size_t bytes) {
  budgetOverride.store(bytes, std::memory_order_relaxed);
}

bool fitsImageByteBudget(long long width, long long height) {
  const auto bytes = rgbaByteCount(width, height);
  return bytes && *bytes <= imageByteBudget();
}

}  // namespace quillane
