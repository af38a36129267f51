#include "image/RasterMemory.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace quillane {
namespace {

// Blocks are mapped in whole huge pages, and in huge pages where the system offers them on
// request: touching fresh memory a 4 KiB page at a time costs more than decoding into it.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
// The job holds a few rasters at once (the image, its keyed copy, two decoded ahead); that
// many freed blocks are enough to serve the next ones. Large rasters are kept only as far as
// they fit kMaxKeptBytes: a freed block is memory the process holds for nothing meanwhile.
constexpr std::size_t kMaxKeptBlocks = 4;
constexpr std::size_t kMaxKeptBytes = std::size_t{256} << 20;

struct Block {
  void* address;
  std::size_t bytes;
};

// A block handed out, and whether it is as the system mapped it (all zero, untouched).
struct LiveBlock {
  std::size_t bytes;
  bool fresh;
};

std::size_t mappedSize(std::size_t bytes) {
  return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

void* mapBlock(std::size_t bytes) {
  void* address =
      ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) throw std::bad_alloc();
  (void)::madvise(address, bytes, MADV_HUGEPAGE);
  return address;
}

class RasterPool {
 public:
  void* take(std::size_t bytes) {
    std::unique_lock lock(mutex_);
    Block block = takeKept(bytes);
    const bool fresh = !block.address;
    if (fresh) {
      lock.unlock();
      block.bytes = mappedSize(bytes);
      block.address = mapBlock(block.bytes);
      lock.lock();
    }
    try {
      live_.emplace(block.address, LiveBlock{block.bytes, fresh});
    } catch (...) {
      (void)::munmap(block.address, block.bytes);
      throw;
    }
    return block.address;
  }

  void giveBack(void* address) noexcept {
    std::array<Block, kMaxKeptBlocks + 1> unkept{};
    std::size_t unkeptCount = 0;
    {
      std::lock_guard lock(mutex_);
      const auto found = live_.find(address);
      if (found == live_.end()) return;
      const Block freed{address, found->second.bytes};
      live_.erase(found);
      if (freed.bytes > kMaxKeptBytes) {
        unkept[unkeptCount++] = freed;
      } else {
        // The oldest make way.
        while (keptCount_ == kMaxKeptBlocks || keptBytesLocked() + freed.bytes > kMaxKeptBytes) {
          unkept[unkeptCount++] = kept_[0];
          std::move(kept_.begin() + 1, kept_.begin() + std::ptrdiff_t(keptCount_), kept_.begin());
          --keptCount_;
        }
        kept_[keptCount_++] = freed;
      }
    }
    for (std::size_t i = 0; i < unkeptCount; ++i)
      (void)::munmap(unkept[i].address, unkept[i].bytes);
  }

  // Whether the block is as the system mapped it; it is not once this is asked.
  bool takeFresh(void* address) noexcept {
    std::lock_guard lock(mutex_);
    const auto found = live_.find(address);
    return found != live_.end() && std::exchange(found->second.fresh, false);
  }

  void release() noexcept {
    std::array<Block, kMaxKeptBlocks> unkept{};
    std::size_t count = 0;
    {
      std::lock_guard lock(mutex_);
      unkept = kept_;
      count = std::exchange(keptCount_, 0);
    }
    for (std::size_t i = 0; i < count; ++i) (void)::munmap(unkept[i].address, unkept[i].bytes);
  }

  std::size_t keptBytes() noexcept {
    std::lock_guard lock(mutex_);
    return keptBytesLocked();
  }

 private:
  std::size_t keptBytesLocked() const noexcept {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < keptCount_; ++i) bytes += kept_[i].bytes;
    return bytes;
  }

  // The smallest kept block that holds `bytes` without wasting more than half of it, or a
  // null block.
  Block takeKept(std::size_t bytes) {
    std::size_t best = keptCount_;
    for (std::size_t i = 0; i < keptCount_; ++i) {
      if (kept_[i].bytes < bytes || kept_[i].bytes / 2 > bytes) continue;
      if (best == keptCount_ || kept_[i].bytes < kept_[best].bytes) best = i;
    }
    if (best == keptCount_) return {nullptr, 0};
    const Block taken = kept_[best];
    std::move(kept_.begin() + std::ptrdiff_t(best) + 1, kept_.begin() + std::ptrdiff_t(keptCount_),
              kept_.begin() + std::ptrdiff_t(best));
    --keptCount_;
    return taken;
  }

  std::mutex mutex_;
  std::array<Block, kMaxKeptBlocks> kept_{};  // the first keptCount_, oldest first
  std::size_t keptCount_ = 0;
  std::unordered_map<void*, LiveBlock> live_;
};

RasterPool& pool() {
  static RasterPool instance;
  return instance;
}

}  // namespace

void* takeRasterMemory(std::size_t bytes) {
  if (bytes < kPooledRasterBytes) return ::operator new(bytes);
  return pool().take(bytes);
}

void giveBackRasterMemory(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (bytes < kPooledRasterBytes) {
    ::operator delete(block);
    return;
  }
  pool().giveBack(block);
}

void zeroRasterMemory(void* block, std::size_t bytes) noexcept {
  if (bytes >= kPooledRasterBytes && pool().takeFresh(block)) return;
  std::memset(block, 0, bytes);
}

void releaseRasterMemory() noexcept { pool().release(); }

std::size_t keptRasterBytes() noexcept { return pool().keptBytes(); }

}  // namespace quillane
