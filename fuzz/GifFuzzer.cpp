// Feeds arbitrary bytes to the Gif decoder with its limits, as the job calls it: the first
// frame and the last, and the first few drawn one after another as the job draws them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "FuzzBudget.h"
#include "image/decode/Decoders.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quillane::fuzz::limitImageBytes();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  quillane::fuzz::checkRegion(bytes, [&](const quillane::DecodeRequest& request) {
    return quillane::decodeGif(bytes, request);
  });
  const int last = quillane::countGifFrames(bytes) - 1;
  quillane::fuzz::checkRegion(bytes, [&](quillane::DecodeRequest request) {
    request.frame = last;
    return quillane::decodeGif(bytes, request);
  });
  // A frame drawn over the one before is the frame drawn from the start.
  quillane::GifFrames frames(bytes);
  for (int frame = 0; frame <= std::min(last, 3); ++frame) {
    const quillane::DecodeRequest request{.frame = frame};
    const bool drawn = !frames.drawTo(request);
    const auto afresh = quillane::decodeGif(bytes, request);
    if (drawn != bool(afresh)) std::abort();
    if (!drawn) break;
    const auto screen = frames.copyScreen();
    if (screen && screen->pixels != afresh->bitmap.pixels) std::abort();
  }
  return 0;
}
