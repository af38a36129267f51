#pragma once

#include <string>

#include "image/decode/Decode.h"
#include "util/Exception.h"

namespace quillane {

// The failure that ends a job on a source image that cannot be decoded: named by the text
// of its kind from the strings table, its reason the file's full path, followed for a size
// that is refused by the size and the limit it exceeds.
Exception imageReadFailure(const std::string& path, const DecodeError& error);

// The text of key with the raster's size, the megabytes it takes and those one image may
// use filled in (%1 to %4).
std::string memoryLimitDetail(const char* key, long long width, long long height);

}  // namespace quillane
