#include "image/Bitmap.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "util/CheckedSize.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

// Large rasters are mapped in huge pages where the system offers them on request: touching
// fresh memory a 4 KiB page at a time costs more than decoding into it.
constexpr std::uintptr_t kHugePageBytes = std::uintptr_t{2} << 20;

void adviseHugePages(const std::uint8_t* data, std::size_t bytes) {
  const auto address = reinterpret_cast<std::uintptr_t>(data);
  const auto start = (address + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  const auto end = (address + bytes) & ~(kHugePageBytes - 1);
  if (end > start) (void)::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace

std::optional<Bitmap> Bitmap::allocate(int width, int height) {
  if (width < 0 || height < 0 || width > kMaxPsdSide || height > kMaxPsdSide) return std::nullopt;
  const auto bytes = rgbaByteCount(width, height);
  if (!bytes || *bytes > imageByteBudget()) return std::nullopt;
  try {
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.pixels.reserve(*bytes);
    adviseHugePages(bitmap.pixels.data(), *bytes);
    bitmap.pixels.assign(*bytes, 0);
    return bitmap;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace quillane
