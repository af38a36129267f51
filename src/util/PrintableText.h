#pragma once

#include <string>
#include <string_view>

namespace quillane {

// The text as it may be shown or printed: valid UTF-8 stays as it is (Japanese names stay
// readable), while control characters (C0, DEL, C1) and bytes that are not valid UTF-8 become
// "\x1b"-style escapes, so that a crafted file name cannot drive a terminal or hide in a label.
std::string printableText(std::string_view text);

}  // namespace quillane
