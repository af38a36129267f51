#include "image/decode/Decoders.h"

namespace quillane {
namespace {

Decoded<DecodedImage> decodeByFormat(std::span<const std::uint8_t> bytes,
                                     const DecodeRequest& request) {
  switch (sniffImageFormat(bytes)) {
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

Decoded<DecodedImage> decodeImage(std::span<const std::uint8_t> bytes,
                                  const DecodeRequest& request) {
  auto decoded = decodeByFormat(bytes, request);
  if (decoded) decoded->bitmap.keepTopLeft(request.keepWidth, request.keepHeight);
  return decoded;
}

}  // namespace quillane
