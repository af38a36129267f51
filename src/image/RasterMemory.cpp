#include "image/RasterMemory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quillane {
namespace {

// Blocks are mapped in whole huge pages, and in huge pages where the system offers them on
// request: touching fresh memory a 4 KiB page at a time costs more than decoding into it.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
// The job holds a few rasters at once (the image, its keyed copy, two decoded ahead); that
// many freed blocks are enough to serve the next ones.
constexpr std::size_t kMaxKeptBlocks = 4;

struct Block {
  void* address;
  std::size_t bytes;
};

std::size_t mappedSize(std::size_t bytes) {
  return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

void* mapBlock(std::size_t bytes) {
  void* address = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) throw std::bad_alloc();
  (void)::madvise(address, bytes, MADV_HUGEPAGE);
  return address;
}

class RasterPool {
 public:
  void* take(std::size_t bytes) {
    std::unique_lock lock(mutex_);
    Block block = takeKept(bytes);
    if (!block.address) {
      lock.unlock();
      block.bytes = mappedSize(bytes);
      block.address = mapBlock(block.bytes);
      lock.lock();
    }
    live_.emplace(block.address, block.bytes);
    return block.address;
  }

  void giveBack(void* address) noexcept {
    std::vector<Block> unkept;
    {
      std::lock_guard lock(mutex_);
      const auto found = live_.find(address);
      if (found == live_.end()) return;
      kept_.push_back({address, found->second});
      live_.erase(found);
      while (kept_.size() > kMaxKeptBlocks) {
        unkept.push_back(kept_.front());
        kept_.erase(kept_.begin());
      }
    }
    unmap(unkept);
  }

  void release() noexcept {
    std::vector<Block> unkept;
    {
      std::lock_guard lock(mutex_);
      unkept.swap(kept_);
    }
    unmap(unkept);
  }

  std::size_t keptBytes() noexcept {
    std::lock_guard lock(mutex_);
    std::size_t bytes = 0;
    for (const Block& block : kept_) bytes += block.bytes;
    return bytes;
  }

 private:
  // The smallest kept block that holds `bytes` without wasting more than half of it, or a
  // null block.
  Block takeKept(std::size_t bytes) {
    auto best = kept_.end();
    for (auto block = kept_.begin(); block != kept_.end(); ++block) {
      if (block->bytes < bytes || block->bytes / 2 > bytes) continue;
      if (best == kept_.end() || block->bytes < best->bytes) best = block;
    }
    if (best == kept_.end()) return {nullptr, 0};
    const Block taken = *best;
    kept_.erase(best);
    return taken;
  }

  static void unmap(const std::vector<Block>& blocks) noexcept {
    for (const Block& block : blocks) (void)::munmap(block.address, block.bytes);
  }

  std::mutex mutex_;
  std::vector<Block> kept_;  // oldest first
  std::unordered_map<void*, std::size_t> live_;
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

void releaseRasterMemory() noexcept { pool().release(); }

std::size_t keptRasterBytes() noexcept { return pool().keptBytes(); }

}  // namespace quillane
