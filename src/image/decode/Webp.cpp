#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "image/decode/Decoders.h"
#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

using Demuxer = std::unique_ptr<WebPDemuxer, decltype(&WebPDemuxDelete)>;
using AnimationDecoder = std::unique_ptr<WebPAnimDecoder, decltype(&WebPAnimDecoderDelete)>;

// Lossy pixels are interpolated from their neighbours' colour, so a row or column at the
// edge of a cropped area comes out unlike the same one in the whole image: the crop reaches
// this many pixels past the kept part, which is then cut from it.
constexpr int kCropMargin = 2;

DecodeFailure failureOf(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
      return DecodeFailure::CutShort;
    case VP8_STATUS_OUT_OF_MEMORY:
      return DecodeFailure::OutOfMemory;
    case VP8_STATUS_UNSUPPORTED_FEATURE:
      return DecodeFailure::Unsupported;
    default:
      return DecodeFailure::Unreadable;
  }
}

// The ICCP chunk's profile, if the file has one.
std::vector<std::uint8_t> profileOf(const WebPData& data) {
  const Demuxer demuxer(WebPDemux(&data), &WebPDemuxDelete);
  WebPChunkIterator chunk{};
  if (!demuxer || !WebPDemuxGetChunk(demuxer.get(), "ICCP", 1, &chunk)) return {};
  std::vector<std::uint8_t> profile(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
  WebPDemuxReleaseChunkIterator(&chunk);
  return profile;
}

// A still image: only the rows and columns up to the kept part (and its margin) are
// decoded, straight into the raster. libwebp snaps a crop's origin to even values, which an
// origin other than the top-left corner would have to allow for.
Decoded<Bitmap> decodeStill(std::span<const std::uint8_t> bytes, const WebPBitstreamFeatures& image,
                            const DecodeRequest& request) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return DecodeFailure::Unsupported;
  const int width =
      std::min(image.width, static_cast<int>(request.keptWidth(image.width)) + kCropMargin);
  const int height =
      std::min(image.height, static_cast<int>(request.keptHeight(image.height)) + kCropMargin);
  auto bitmap = createBitmap(width, height, BitmapFill::Nothing);
  if (!bitmap) return bitmap;
  config.options.use_cropping = width < image.width || height < image.height;
  config.options.crop_width = width;
  config.options.crop_height = height;
  config.output.colorspace = MODE_RGBA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = bitmap->pixels.data();
  config.output.u.RGBA.stride = static_cast<int>(bitmap->rowBytes());
  config.output.u.RGBA.size = bitmap->pixels.size();
  const VP8StatusCode status = WebPDecode(bytes.data(), bytes.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) return DecodeError{failureOf(status), image.width, image.height};
  bitmap->keepTopLeft(request.keepWidth, request.keepHeight);
  return bitmap;
}

// An animation's first frame, composed on its canvas; the canvas is decoded whole.
Decoded<Bitmap> decodeFirstFrame(const WebPData& data, const WebPBitstreamFeatures& image,
                                 const DecodeRequest& request) {
  const DecodeError refused{DecodeFailure::OutOfMemory, image.width, image.height};
  if (!fitsImageByteBudget(image.width, image.height)) return refused;
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) return DecodeFailure::Unsupported;
  options.color_mode = MODE_RGBA;
  const AnimationDecoder decoder(WebPAnimDecoderNew(&data, &options), &WebPAnimDecoderDelete);
  std::uint8_t* canvas = nullptr;
  int timestamp = 0;
  if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
    return DecodeError{DecodeFailure::Unreadable, image.width, image.height};
  auto bitmap = createBitmap(request.keptWidth(image.width), request.keptHeight(image.height),
                             BitmapFill::Nothing);
  if (!bitmap) return bitmap;
  const std::size_t canvasRowBytes = static_cast<std::size_t>(image.width) * 4;
  for (int y = 0; y < bitmap->height; ++y)
    std::memcpy(bitmap->row(y), canvas + canvasRowBytes * y, bitmap->rowBytes());
  return bitmap;
}

}  // namespace

Decoded<DecodedImage> decodeWebp(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request) {
  WebPBitstreamFeatures image;
  const VP8StatusCode status = WebPGetFeatures(bytes.data(), bytes.size(), &image);
  if (status != VP8_STATUS_OK) return failureOf(status);
  if (const auto refused = checkImageSize(image.width, image.height, request)) return *refused;
  try {
    const WebPData data{bytes.data(), bytes.size()};
    auto bitmap = image.has_animation ? decodeFirstFrame(data, image, request)
                                      : decodeStill(bytes, image, request);
    if (!bitmap) return bitmap.error();
    bitmap->knownOpaque = !image.has_alpha;
    return DecodedImage{std::move(*bitmap), {}, profileOf(data)};
  } catch (const std::bad_alloc&) {
    return DecodeError{DecodeFailure::OutOfMemory, image.width, image.height};
  }
}

}  // namespace quillane
