#pragma once

#include <cstdint>

#include "image/decode/ByteReader.h"
#include "image/decode/pict/RowPlacer.h"

namespace quillane {

// The bitmap opcodes.
inline constexpr std::uint16_t kOpBitsRect = 0x0090;
inline constexpr std::uint16_t kOpBitsRgn = 0x0091;
inline constexpr std::uint16_t kOpPackBitsRect = 0x0098;
inline constexpr std::uint16_t kOpPackBitsRgn = 0x0099;
inline constexpr std::uint16_t kOpDirectBitsRect = 0x009A;
inline constexpr std::uint16_t kOpDirectBitsRgn = 0x009B;

bool isBitsOpcode(std::uint16_t opcode);

// Reads the data of a bitmap opcode and, when `draw`, draws its pixels into the target.
// False when the data is malformed or runs out, or the budget is spent; rows drawn before
// stay drawn.
bool drawBitsOpcode(ByteReader& bytes, std::uint16_t opcode, DrawTarget& target, bool draw);

}  // namespace quillane
