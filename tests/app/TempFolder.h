#pragma once

#include "support/BmpBytes.h"
#include "support/TempFolder.h"

namespace quillane::fakes {

using testsupport::TempFolder;

// A 24-bit BMP of width x height pixels filled with one colour: a real image file for the job.
inline std::string bmpBytes(int width, int height, unsigned char r, unsigned char g,
                            unsigned char b) {
  return testsupport::solidBmp(width, height, {r, g, b});
}

}  // namespace quillane::fakes
