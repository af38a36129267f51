#pragma once

#include <optional>

#include "image/decode/Decode.h"
#include "job/JobRequest.h"
#include "util/ProgressUtility.h"

namespace quillane {

// A copy of the image in which every pixel whose red, green and blue are the key's exactly
// (pure white or pure black, at the source's own depth when it is deeper than 8 bits), or
// within tolerance of it (0-64, in 8-bit steps), is fully transparent (all four samples 0);
// KeyColour::None answers the image as it is.
// Advances the minor step of steps once for every pixel keyed. Nothing when the image
// cannot be keyed (no pixels, or no memory for the copy).
std::optional<DecodedImage> keyOut(DecodedImage image, KeyColour key, int tolerance,
                                   ProgressUtility& steps);
// The same keying done in place, on a band of a layer's rows; whether any pixel was keyed.
bool keyRowsInPlace(Bitmap& rows, KeyColour key, int tolerance);

}  // namespace quillane
