#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "psd/ByteBuffer.h"

namespace quillane {

// The name blocks of a layer record. Names are UTF-8 (they are file names); bytes that are
// not valid UTF-8 read as U+FFFD.
ByteBuffer createPascalLayerName(const std::string& name);   // Shift-JIS, or "Layer"
ByteBuffer createUnicodeLayerName(const std::string& name);  // "luni"
ByteBuffer createLayerName(const std::string& name);         // the two, byte name first
// Shift-JIS (CP932) bytes of the longest prefix of name, shortened one UTF-16 code unit at a
// time, whose form has at most 255 bytes.
std::string truncateTo255Bytes(const std::u16string& name);

std::u16string utf16FromUtf8(std::string_view text);
// The CP932 (Shift-JIS) form, or nothing when a character has none.
std::optional<std::string> shiftJisFromUtf16(const std::u16string& text);

}  // namespace quillane
