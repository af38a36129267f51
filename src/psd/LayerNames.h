#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "psd/ByteBuffer.h"

namespace quillane {

// The name blocks of a layer record. Names are UTF-8 (they are file names); bytes that are
// not valid UTF-8 read as U+FFFD.
ByteBuffer pascalLayerNameBlock(const std::string& name);   // Shift-JIS, or "Layer"
ByteBuffer unicodeLayerNameBlock(const std::string& name);  // "luni"
ByteBuffer layerNameBlocks(const std::string& name);        // the two, byte name first

std::u16string utf16FromUtf8(std::string_view text);
// The CP932 (Shift-JIS) form, or nothing when a character has none.
std::optional<std::string> shiftJisFromUtf16(const std::u16string& text);

}  // namespace quillane
