#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <span>

#include "image/decode/ByteReader.h"

namespace quillane {

// A TIFF file in memory, as libtiff reads it, and what went wrong on the way.
struct TiffMemoryFile {
  explicit TiffMemoryFile(std::span<const std::uint8_t> bytes) : reader(bytes) {}
  ByteReader reader;
  bool failed = false;  // libtiff reported an error, even one it carried on after
  bool ranOut = false;  // libtiff asked for bytes past the end
};

using TiffHandle = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

// Opens the file's first directory for reading, with a cap on libtiff's own buffers and its
// messages kept off stderr; null when libtiff refuses it. The file must outlive the handle.
TiffHandle openTiffMemory(TiffMemoryFile& file);

}  // namespace quillane
