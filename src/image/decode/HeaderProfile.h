#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quillane {

// Copies up to out.size() bytes of a source from offset into out; how many it copied (fewer at
// the end, none on a failure).
using ReadAt = std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> out)>;

// The ICC profile a source embeds, found in its headers without reading its pixels, as the
// decoder would give it: a JPEG's APP2 ICC_PROFILE markers (none for CMYK, whose pixels come
// out in sRGB), a PNG's iCCP chunk (none beside an sRGB chunk), the ICC tag of a TIFF's first
// page, a BMP version-5 header's embedded profile. Empty when it has none, when the headers
// are damaged, or beyond the bytes this reads; GIF and PICT have none, and the other formats
// are not read here.
std::vector<std::uint8_t> headerProfile(const ReadAt& read);

// The same for a source file, opened as the decoders open it; empty when it cannot be read.
std::vector<std::uint8_t> readHeaderProfile(const std::string& path);

}  // namespace quillane
