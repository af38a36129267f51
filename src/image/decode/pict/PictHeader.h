#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/decode/Decoded.h"
#include "image/decode/pict/OpcodeLengths.h"
#include "image/decode/pict/PictRect.h"

namespace quillane {

// A PICT file starts with a file header of this many bytes that no reader looks at; a
// picture taken from elsewhere may come without it.
inline constexpr std::size_t kPictFileHeaderBytes = 512;

// What precedes a picture's opcodes: where the picture starts in the bytes (after a file
// header, or at 0), its version, its frame and the offset of its first opcode after the
// version opcode.
struct PictHeader {
  std::size_t start = 0;
  PictVersion version = PictVersion::Two;
  PictRect frame;
  std::size_t firstOpcode = 0;
};

// The header of the picture in the bytes, or why there is none: the bytes begin no version-1
// or version-2 picture, with or without the file header (cut short when they end before one
// could be told).
Decoded<PictHeader> readPictHeader(std::span<const std::uint8_t> bytes);

}  // namespace quillane
