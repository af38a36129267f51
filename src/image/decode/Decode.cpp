#include "image/decode/Decode.h"

#include <memory>

#include "image/ImageRep.h"

namespace quillane {
namespace {

Decoded<DecodedBitmap> decodeByFormat(std::span<const std::uint8_t> bytes,
                                      const DecodeRequest& request) {
  switch (sniffImageFormat(bytes)) {
    case ImageFormat::Jpeg: return decodeJpeg(bytes, request);
    case ImageFormat::Png: return decodePng(bytes, request);
    case ImageFormat::Gif: return decodeGif(bytes, request);
    case ImageFormat::Bmp: return decodeBmp(bytes, request);
    case ImageFormat::Tiff: return decodeTiff(bytes, request);
    case ImageFormat::Unknown: break;
  }
  return isCutSignature(bytes) ? DecodeFailure::CutShort : DecodeFailure::Unreadable;
}

}  // namespace

Decoded<Image> decodeImage(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  auto decoded = decodeByFormat(bytes, request);
  if (!decoded) return decoded.error();
  decoded->bitmap.keepTopLeft(request.keepWidth, request.keepHeight);
  auto rep = std::make_shared<const BitmapImageRep>(std::move(decoded->bitmap), decoded->dpiX,
                                                    decoded->dpiY);
  return Image::withRepresentation(std::move(rep));
}

}  // namespace quillane
