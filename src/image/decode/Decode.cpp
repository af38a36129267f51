#include "image/decode/Decoders.h"

#include <cassert>

namespace quillane {
namespace {

Decoded<DecodedImage> decodeByFormat(std::span<const std::uint8_t> bytes,
                                     const DecodeRequest& request) {
  const ImageFormat format = sniffImageFormat(bytes);
  // A part away from the top-left corner is asked only of the formats that carry an
  // orientation; the others would answer their top-left part.
  assert(!request.hasOrigin() || format == ImageFormat::Jpeg || format == ImageFormat::Tiff);
  switch (format) {
    case ImageFormat::Jpeg:
      return decodeJpeg(bytes, request);
    case ImageFormat::Png:
      return decodePng(bytes, request);
    case ImageFormat::Gif:
      return decodeGif(bytes, request);
    case ImageFormat::Bmp:
      return decodeBmp(bytes, request);
    case ImageFormat::Tiff:
      return decodeTiff(bytes, request);
    case ImageFormat::Webp:
      if (request.modernFormats) return decodeWebp(bytes, request);
      break;
    case ImageFormat::Heif:
      if (request.modernFormats) return decodeHeif(bytes, request);
      break;
    case ImageFormat::Jxl:
      if (request.modernFormats) return decodeJxl(bytes, request);
      break;
    case ImageFormat::Unknown:
      break;
  }
  return isCutSignature(bytes) ? DecodeFailure::CutShort : DecodeFailure::Unreadable;
}

}  // namespace

int countFrames(std::span<const std::uint8_t> bytes) {
  switch (sniffImageFormat(bytes)) {
    case ImageFormat::Gif:
      return countGifFrames(bytes);
    case ImageFormat::Tiff:
      return countTiffPages(bytes);
    default:
      return 1;
  }
}

Decoded<DecodedImage> decodeImage(std::span<const std::uint8_t> bytes,
                                  const DecodeRequest& request) {
  auto decoded = decodeByFormat(bytes, request);
  if (decoded) decoded->bitmap.keepTopLeft(request.keepWidth, request.keepHeight);
  return decoded;
}

}  // namespace quillane
