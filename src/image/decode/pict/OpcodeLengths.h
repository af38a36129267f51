#pragma once

#include <cstdint>

#include "image/decode/ByteReader.h"

namespace quillane {

// Version-1 pictures have one-byte opcodes and no alignment; version-2 pictures have
// two-byte opcodes, each starting on an even offset.
enum class PictVersion { One, Two };

// Skips the data that follows an opcode whose drawing is not rendered, by the length the
// opcode's definition gives. False when the opcode is unknown for the version or its data
// runs past the end of the bytes.
bool skipOpcodeData(ByteReader& bytes, std::uint16_t opcode, PictVersion version);

}  // namespace quillane
