#pragma once

#include <cstdint>

#include "image/decode/ByteReader.h"
#include "image/decode/pict/RowPlacer.h"

namespace quillane {

inline constexpr std::uint16_t kOpCompressedQuickTime = 0x8200;

enum class QuickTimeResult {
  Drawn,    // a JPEG, drawn
  Skipped,  // another codec, not drawn
  Failed,   // data that runs out, a JPEG that cannot be decoded, or the budget spent
};

// Reads a compressed QuickTime opcode; when it holds a JPEG, decodes it with libjpeg and
// draws it where its matrix places it. Rows drawn before a failure stay drawn.
QuickTimeResult drawQuickTimeOpcode(ByteReader& bytes, DrawTarget& target);

}  // namespace quillane
