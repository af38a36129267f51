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

// Whether the bytes hold `text` at `offset`.
bool holdsAt(std::span<const std::uint8_t> bytes, std::size_t offset, std::string_view text) {
  return bytes.size() >= offset + text.size() &&
         opensWith(bytes.subspan(offset), text, text.size());
}

// The brands of an ISO media file's first box that name a still HEIF or AVIF image (or a
// sequence, whose primary image is read).
constexpr std::string_view kHeifBrands[] = {"heic", "heix", "heim", "heis", "hevc",
                                            "hevx", "mif1", "msf1", "avif", "avis"};

// WebP (a RIFF file of form WEBP), HEIF (an 'ftyp' box of one of its brands) or JPEG XL
// (a bare codestream, or its container's signature box).
ImageFormat sniffModernFormat(std::span<const std::uint8_t> bytes) {
  if (holdsAt(bytes, 0, "RIFF") && holdsAt(bytes, 8, "WEBP")) return ImageFormat::Webp;
  if (holdsAt(bytes, 4, "ftyp") &&
      std::any_of(std::begin(kHeifBrands), std::end(kHeifBrands),
                  [&](std::string_view brand) { return holdsAt(bytes, 8, brand); }))
    return ImageFormat::Heif;
  if (holdsAt(bytes, 0, "\xFF\x0A"sv) || holdsAt(bytes, 0, "\0\0\0\x0CJXL \r\n\x87\n"sv))
    return ImageFormat::Jxl;
  return ImageFormat::Unknown;
}

}  // namespace

ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes) {
  for (const Signature& signature : kSignatures) {
    if (opensWith(bytes, signature.magic, signature.magic.size())) return signature.format;
  }
  return sniffModernFormat(bytes);
}

bool isCutSignature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 && std::any_of(std::begin(kSignatures), std::end(kSignatures),
                                          [&](const Signature& signature) {
                                            return bytes.size() < signature.magic.size() &&
                                                   opensWith(bytes, signature.magic, bytes.size());
                                          });
}

}  // namespace quillane
