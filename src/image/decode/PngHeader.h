#pragma once

// What both PNG decoders (the whole one and the row stream) read of a file's header the
// same way, through libspng.

#include <spng.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "image/decode/Decode.h"

namespace quillane {

using SpngCtx = std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)>;

// Sets the limits on image sides and on the ancillary chunks libspng keeps; libspng's error.
int setPngLimits(spng_ctx* ctx);

// The size IHDR declares, read before libspng sees the file: its own limits would refuse a
// large image as invalid before our size check could name it. IHDR is the first chunk.
std::optional<DecodeError> checkDeclaredSize(std::span<const std::uint8_t> bytes,
                                             const DecodeRequest& request);

// The resolution a pHYs chunk in metres declares, into decoded.
void readResolution(spng_ctx* ctx, DecodedImage& decoded);

// The iCCP profile; none when an sRGB chunk says the image is sRGB.
std::vector<std::uint8_t> profileOf(spng_ctx* ctx);

}  // namespace quillane
