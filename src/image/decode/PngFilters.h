#pragma once

#include <cstddef>
#include <cstdint>

namespace quillane {

// Undoes one PNG row's filter in place: n bytes of pixels of `pixelBytes` bytes each (3 or
// 4), `up` the row above, already unfiltered (zeroes above the first). False for a filter
// type above 4.
bool unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* up, std::size_t n,
                 std::size_t pixelBytes);

}  // namespace quillane
