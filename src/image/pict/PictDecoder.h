#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "image/ImageRep.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/Decoded.h"
#include "image/pict/OpcodeLengths.h"
#include "image/pict/PictRect.h"

namespace quillane {

// The version opcode of a version-2 picture with its version word, as they follow the frame.
inline constexpr std::array<std::uint8_t, 4> kPictVersion2Opcode = {0x00, 0x11, 0x02, 0xFF};

// Where the picture lies in the bytes: its first byte (512 after a file header, else 0), its
// version, its frame and the offset of its first opcode after the version.
struct PictureLayout {
  std::size_t start = 0;
  PictVersion version = PictVersion::Two;
  PictRect frame;
  std::size_t firstOpcode = 0;
};

// The picture's layout, or why there is none: the bytes begin no version-1 or version-2
// picture, with or without the file header, or its frame is empty or refused by
// checkImageSize (the part of it the request keeps against the budget).
Decoded<PictureLayout> locatePicture(std::span<const std::uint8_t> bytes,
                                     const DecodeRequest& request = {});

// Decodes a QuickDraw picture into a picture representation sized by its frame, or by the
// part of the frame the request keeps, or says why it cannot. Every opcode draws only within
// that part. The bitmap opcodes and JPEG QuickTime opcodes are drawn, every other known opcode
// is skipped, and an unknown one ends the drawing with what was drawn so far. Data that runs
// past the end is cut short; other corrupt data (overrunning rows, undefined pixel maps or
// colours, endless redrawing) is unreadable.
Decoded<std::shared_ptr<const ImageRep>> decodePict(std::span<const std::uint8_t> bytes,
                                                    const DecodeRequest& request = {});

}  // namespace quillane
