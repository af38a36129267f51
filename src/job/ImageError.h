#pragma once

#include <string>

#include "image/decode/Decoded.h"
#include "util/Error.h"

namespace quillane {

// The error for a raster of width x height that ran out of memory: with the budget when it
// is beyond it, without when memory ran out within it.
Error outOfMemory(ErrorKind kind, std::string file, long long width, long long height);

// The error that ends a job on a source image that cannot be decoded.
Error imageError(const std::string& file, const DecodeError& decode);

}  // namespace quillane
