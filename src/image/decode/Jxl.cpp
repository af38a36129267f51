#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "image/decode/Decoders.h"
#include "image/decode/DeepSamples.h"
#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

// Where libjxl's pixels go: the kept part of the first frame, RGBA of 8 or 16 bits a
// sample as it hands them over, reduced to 8 bits with their extremes. libjxl calls this
// from its worker threads, each with pixels of its own, so no two calls write one pixel.
struct KeptPixels {
  Bitmap* bitmap = nullptr;
  bool deep = false;

  static void take(void* opaque, std::size_t x, std::size_t y, std::size_t count,
                   const void* pixels) {
    static_cast<KeptPixels*>(opaque)->put(x, y, count, pixels);
  }

  void put(std::size_t x, std::size_t y, std::size_t count, const void* pixels) const {
    const auto width = static_cast<std::size_t>(bitmap->width);
    if (y >= static_cast<std::size_t>(bitmap->height) || x >= width) return;
    count = std::min(count, width - x);
    std::uint8_t* out = bitmap->row(static_cast<int>(y)) + x * 4;
    if (!deep) {
      std::memcpy(out, pixels, count * 4);
      return;
    }
    const auto* samples = static_cast<const std::uint16_t*>(pixels);
    std::uint8_t* extremes = bitmap->extremes.data() + y * width + x;
    for (std::size_t i = 0; i < count; ++i, samples += 4, out += 4) {
      for (int c = 0; c < 4; ++c) out[c] = eightBitsOf(samples[c]);
      extremes[i] = extremesOf(samples[0], samples[1], samples[2], 0xFFFF);
    }
  }
};

// Whether the colour encoding is sRGB itself, which needs no profile.
bool isSrgb(const JxlColorEncoding& encoding) {
  return encoding.color_space == JXL_COLOR_SPACE_RGB &&
         encoding.white_point == JXL_WHITE_POINT_D65 && encoding.primaries == JXL_PRIMARIES_SRGB &&
         encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// The profile the pixels are in: none for sRGB; for every other encoding the ICC profile
// libjxl gives for it (stored in the file, or made from its encoded primaries and transfer).
// A grey image's profile is left out: its pixels come out as RGB, which a grey profile does
// not describe.
std::vector<std::uint8_t> profileOf(const JxlDecoder* decoder) {
  JxlColorEncoding encoding{};
  if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                         &encoding) == JXL_DEC_SUCCESS &&
      (isSrgb(encoding) || encoding.color_space == JXL_COLOR_SPACE_GRAY))
    return {};
  std::size_t size = 0;
  if (JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
      JXL_DEC_SUCCESS)
    return {};
  std::vector<std::uint8_t> profile(size);
  if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                     profile.data(), size) != JXL_DEC_SUCCESS)
    return {};
  // A grey profile read from the file itself says so in its header's colour space.
  constexpr std::size_t kColourSpaceOffset = 16;
  if (size >= kColourSpaceOffset + 4 && std::memcmp(&profile[kColourSpaceOffset], "GRAY", 4) == 0)
    return {};
  return profile;
}

// One decoding: the events libjxl reports in order, answered until the first frame is whole.
class JxlDecoding {
 public:
  JxlDecoding(std::span<const std::uint8_t> bytes, const DecodeRequest& request)
      : bytes_(bytes), request_(request) {}

  Decoded<DecodedImage> run() {
    if (!decoder_ || !runner_) return DecodeFailure::OutOfMemory;
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE;
    if (JxlDecoderSubscribeEvents(decoder_.get(), events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetParallelRunner(decoder_.get(), JxlThreadParallelRunner, runner_.get()) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(decoder_.get(), request_.upright ? JXL_FALSE : JXL_TRUE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(decoder_.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder_.get(), bytes_.data(), bytes_.size()) != JXL_DEC_SUCCESS)
      return DecodeFailure::Unreadable;
    // The input is left open: bytes that end early then ask for more (cut short) instead of
    // failing with a line libjxl prints on stderr.
    for (;;) {
      switch (JxlDecoderProcessInput(decoder_.get())) {
        case JXL_DEC_BASIC_INFO:
          if (const auto refused = takeBasicInfo()) return *refused;
          break;
        case JXL_DEC_COLOR_ENCODING:
          decoded_.iccProfile = profileOf(decoder_.get());
          break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
          if (JxlDecoderSetImageOutCallback(decoder_.get(), &format_, &KeptPixels::take, &kept_) !=
              JXL_DEC_SUCCESS)
            return DecodeFailure::Unreadable;
          break;
        case JXL_DEC_FULL_IMAGE:
          return std::move(decoded_);  // the first frame; later ones are not read
        case JXL_DEC_NEED_MORE_INPUT:
          return failure(DecodeFailure::CutShort);
        default:  // an error, or the end before a frame
          return failure(DecodeFailure::Unreadable);
      }
    }
  }

 private:
  DecodeError failure(DecodeFailure kind) const { return {kind, width_, height_}; }

  // The sides (turned, when libjxl turns the image) checked, the kept raster made, and the
  // whole frame libjxl holds while it decodes checked against the budget.
  std::optional<DecodeError> takeBasicInfo() {
    JxlBasicInfo info{};
    if (JxlDecoderGetBasicInfo(decoder_.get(), &info) != JXL_DEC_SUCCESS)
      return failure(DecodeFailure::Unreadable);
    width_ = info.xsize;
    height_ = info.ysize;
    if (const auto refused = checkImageSize(width_, height_, request_)) return refused;
    if (!fitsImageByteBudget(width_, height_)) return failure(DecodeFailure::OutOfMemory);
    kept_.deep = info.bits_per_sample > 8;
    format_ = {4, kept_.deep ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    auto bitmap =
        createBitmap(request_.keptWidth(width_), request_.keptHeight(height_), BitmapFill::Zeroes);
    if (!bitmap) return bitmap.error();
    decoded_.bitmap = std::move(*bitmap);
    decoded_.bitmap.knownOpaque = info.alpha_bits == 0;
    if (kept_.deep) decoded_.bitmap.extremes.resize(decoded_.bitmap.pixels.size() / 4);
    kept_.bitmap = &decoded_.bitmap;
    return std::nullopt;
  }

  std::span<const std::uint8_t> bytes_;
  const DecodeRequest& request_;
  JxlDecoderPtr decoder_ = JxlDecoderMake(nullptr);
  JxlThreadParallelRunnerPtr runner_ =
      JxlThreadParallelRunnerMake(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
  JxlPixelFormat format_{};
  KeptPixels kept_;
  DecodedImage decoded_;
  long long width_ = 0;
  long long height_ = 0;
};

}  // namespace

Decoded<DecodedImage> decodeJxl(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  try {
    return JxlDecoding(bytes, request).run();
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

}  // namespace quillane
