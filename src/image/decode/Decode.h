#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/Bitmap.h"
#include "image/Image.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/Decoded.h"

namespace quillane {

enum class ImageFormat { Unknown, Jpeg, Png, Gif, Bmp, Tiff };

// The format that the bytes' signature names, whatever the file is called.
ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes);
// Whether the bytes are all there is of a signature's start (two bytes at least): a file cut
// before its format could be told.
bool isCutSignature(std::span<const std::uint8_t> bytes);

// What one decoder yields: straight RGBA8 pixels and the resolution the file declares
// (72 dpi when it declares none).
struct DecodedBitmap {
  Bitmap bitmap;
  float dpiX = 72.0f;
  float dpiY = 72.0f;
};

// Decoders, one per format. Each answers the bitmap or why it cannot: the declared size
// goes through checkImageSize before anything is decoded. Those given a request answer only
// the part it keeps, and decode no more of the file than that part needs.
Decoded<DecodedBitmap> decodeJpeg(std::span<const std::uint8_t> bytes,
                                  const DecodeRequest& request = {});
// The pixel size a JPEG's header declares, or nothing when the header cannot be read.
std::optional<Size> jpegPixelSize(std::span<const std::uint8_t> bytes);
Decoded<DecodedBitmap> decodePng(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
Decoded<DecodedBitmap> decodeGif(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
Decoded<DecodedBitmap> decodeBmp(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
Decoded<DecodedBitmap> decodeTiff(std::span<const std::uint8_t> bytes,
                                  const DecodeRequest& request = {});

// The image in the bytes (JPEG, PNG, GIF, BMP or TIFF, chosen by content), or the part of
// it the request keeps, as an Image with one bitmap representation; bytes of no known format
// are unreadable, or cut short when they end inside a signature.
Decoded<Image> decodeImage(std::span<const std::uint8_t> bytes, const DecodeRequest& request = {});

}  // namespace quillane
