#pragma once

#include <string>
#include <string_view>

namespace quillane {

// What a folder's WebP, HEIC, AVIF and JPEG XL files come to while they are not read: "3 WebP
// files, 1 HEIC file left out — turn on " and howToInclude (the window's option or the
// command line's); empty when the folder holds none or cannot be listed.
std::string leftOutLine(const std::string& folder, std::string_view howToInclude);

}  // namespace quillane
