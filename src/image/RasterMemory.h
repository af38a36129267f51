#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace quillane {

// Memory for rasters, recycled. A job decodes one full-size image after another; mapping
// fresh memory for each costs the kernel a zero-fill and the machine a first touch of every
// page, which took longer than decoding the JPEGs themselves. Blocks of at least
// kPooledRasterBytes are kept when freed and handed to the next raster that fits them;
// smaller ones come from the ordinary heap.
constexpr std::size_t kPooledRasterBytes = std::size_t{1} << 20;

void* takeRasterMemory(std::size_t bytes);
void giveBackRasterMemory(void* block, std::size_t bytes) noexcept;
// Sets the first `bytes` of a block just taken to zero. A block fresh from the system is
// zero already and is left alone, so that only the pages its user writes become resident.
void zeroRasterMemory(void* block, std::size_t bytes) noexcept;
// Returns the kept blocks to the system (the end of a job).
void releaseRasterMemory() noexcept;
// Bytes in kept blocks waiting for a raster.
std::size_t keptRasterBytes() noexcept;

// A std::vector allocator over the recycled memory. Elements made without a value are left
// uninitialised, so a decoder that writes every byte does not pay for zeroing them first.
template <class T>
struct RasterAllocator {
  using value_type = T;

  RasterAllocator() = default;
  template <class U>
  RasterAllocator(const RasterAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(takeRasterMemory(count * sizeof(T)));
  }
  void deallocate(T* block, std::size_t count) noexcept {
    giveBackRasterMemory(block, count * sizeof(T));
  }

  template <class U>
  void construct(U* place) noexcept(noexcept(::new (static_cast<void*>(place)) U)) {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }

  template <class U>
  bool operator==(const RasterAllocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace quillane
