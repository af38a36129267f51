#include <algorithm>

#include "image/decode/Decode.h"

namespace quillane {
namespace {

bool startsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> magic) {
  return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

}  // namespace

ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes) {
  if (startsWith(bytes, {0xFF, 0xD8, 0xFF})) return ImageFormat::Jpeg;
  if (startsWith(bytes, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return ImageFormat::Png;
  if (startsWith(bytes, {'G', 'I', 'F', '8', '7', 'a'}) ||
      startsWith(bytes, {'G', 'I', 'F', '8', '9', 'a'}))
    return ImageFormat::Gif;
  if (startsWith(bytes, {'B', 'M'})) return ImageFormat::Bmp;
  // Classic TIFF (42) and BigTIFF (43), little- or big-endian.
  if (startsWith(bytes, {'I', 'I', 42, 0}) || startsWith(bytes, {'M', 'M', 0, 42}) ||
      startsWith(bytes, {'I', 'I', 43, 0}) || startsWith(bytes, {'M', 'M', 0, 43}))
    return ImageFormat::Tiff;
  return ImageFormat::Unknown;
}

}  // namespace quillane
