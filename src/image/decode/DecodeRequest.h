#pragma once

#include <climits>

namespace quillane {

// The part of an image its caller keeps: the top-left keepWidth x keepHeight pixels (for
// every file after the first, the canvas its layer is cropped to). A decoder answers at most
// that part, and reads less of the file where its format allows.
struct DecodeRequest {
  long long keepWidth = LLONG_MAX;
  long long keepHeight = LLONG_MAX;
};

}  // namespace quillane
