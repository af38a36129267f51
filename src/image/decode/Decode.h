#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/Bitmap.h"
#include "image/Image.h"

namespace quillane {

enum class ImageFormat { Unknown, Jpeg, Png, Gif, Bmp, Tiff };

// The format that the bytes' signature names, whatever the file is called.
ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes);

// What one decoder yields: straight RGBA8 pixels and the resolution the file declares
// (72 dpi when it declares none).
struct DecodedBitmap {
  Bitmap bitmap;
  float dpiX = 72.0f;
  float dpiY = 72.0f;
};

// Decoders, one per format. Each answers nothing on any failure: truncated or corrupt data,
// an unsupported variant, a side above kMaxPsdSide, a buffer that cannot be allocated.
std::optional<DecodedBitmap> decodeJpeg(std::span<const std::uint8_t> bytes);
std::optional<DecodedBitmap> decodePng(std::span<const std::uint8_t> bytes);
std::optional<DecodedBitmap> decodeGif(std::span<const std::uint8_t> bytes);
std::optional<DecodedBitmap> decodeBmp(std::span<const std::uint8_t> bytes);
std::optional<DecodedBitmap> decodeTiff(std::span<const std::uint8_t> bytes);

// The image in the bytes (JPEG, PNG, GIF, BMP or TIFF, chosen by content) as an Image with
// one bitmap representation, or nothing.
std::optional<Image> decodeImage(std::span<const std::uint8_t> bytes);

// decodeImage of the file at path, read with readWholeFile; nothing when it cannot be read.
std::optional<Image> decodeImageFile(const std::string& path);

}  // namespace quillane
