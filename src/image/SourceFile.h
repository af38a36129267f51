#pragma once

#include <string>

#include "image/Image.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/Decoded.h"

namespace quillane {

// The image in a source file, or the part of it the request keeps, or why it cannot be had:
// a PICT file (by its extension) through the PICT reader, any other by its content. A file
// that cannot be opened as a regular file is unreadable; memory that runs out on the way is
// reported, not thrown.
Decoded<Image> decodeSourceFile(const std::string& path, const DecodeRequest& request = {});

}  // namespace quillane
