#include <algorithm>
#include <string_view>

#include "image/decode/Decoders.h"

namespace quillane {
namespace {

using namespace std::string_view_literals;

struct Signature {
  std::string_view magic;
  ImageFormat format;
};

// Classic TIFF (42) and BigTIFF (43), little- or big-endian.
constexpr Signature kSignatures[] = {
    {"\xFF\xD8\xFF"sv, ImageFormat::Jpeg},
    {"\x89PNG\r\n\x1A\n"sv, ImageFormat::Png},
    {"GIF87a"sv, ImageFormat::Gif},
    {"GIF89a"sv, ImageFormat::Gif},
    {"BM"sv, ImageFormat::Bmp},
    {"II\x2A\0"sv, ImageFormat::Tiff},
    {"MM\0\x2A"sv, ImageFormat::Tiff},
    {"II\x2B\0"sv, ImageFormat::Tiff},
    {"MM\0\x2B"sv, ImageFormat::Tiff},
};

// Whether the first `count` bytes of the signature open the bytes.
bool opensWith(std::span<const std::uint8_t> bytes, std::string_view magic, std::size_t count) {
  return bytes.size() >= count &&
         std::equal(magic.begin(), magic.begin() + static_cast<std::ptrdiff_t>(count),
                    bytes.begin(), [](char m, std::uint8_t b) { return std::uint8_t(m) == b; });
}

}  // namespace

ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes) {
  for (const Signature& signature : kSignatures) {
    if (opensWith(bytes, signature.magic, signature.magic.size())) return signature.format;
  }
  return ImageFormat::Unknown;
}

bool isCutSignature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 && std::any_of(std::begin(kSignatures), std::end(kSignatures),
                                          [&](const Signature& signature) {
                                            return bytes.size() < signature.magic.size() &&
                                                   opensWith(bytes, signature.magic, bytes.size());
                                          });
}

}  // namespace quillane
