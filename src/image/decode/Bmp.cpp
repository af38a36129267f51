#include <algorithm>
#include <bit>
#include <optional>
#include <vector>

#include "image/decode/BmpHeader.h"
#include "image/decode/BmpRunLength.h"
#include "image/decode/ByteReader.h"
#include "image/decode/Decoders.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

// One mask's field of a pixel, scaled to 8 bits by repeating its bits (5 bits abcde give
// abcdeabc), so that the largest value gives 255; fields wider than 8 bits keep their top 8.
class MaskField {
 public:
  explicit MaskField(std::uint32_t mask)
      : shift_(mask ? std::countr_zero(mask) : 0),
        bits_(mask ? std::bit_width(mask >> shift_) : 0),
        mask_(mask) {}

  bool present() const { return bits_ > 0; }
  std::uint8_t of(std::uint32_t pixel) const {
    if (!present()) return 0;
    std::uint32_t value = (pixel & mask_) >> shift_;
    int bits = bits_;
    if (bits > 8) {
      value >>= bits - 8;
      bits = 8;
    }
    std::uint32_t out = value << (8 - bits);
    for (int filled = bits; filled < 8; filled += bits) out |= out >> bits;
    return static_cast<std::uint8_t>(out);
  }

 private:
  int shift_;
  int bits_;
  std::uint32_t mask_;
};

// The stored rows of an uncompressed file.
struct StoredRows {
  const BmpHeader& header;
  std::span<const std::uint8_t> pixels;  // every row, as stored

  // The row y counted from the top.
  const std::uint8_t* row(long long y) const {
    const long long stored = header.topDown ? y : header.height - 1 - y;
    return pixels.data() + static_cast<std::size_t>(stored) * header.rowBytes();
  }
  unsigned indexAt(const std::uint8_t* row, long long x) const {
    const unsigned bits = header.bitsPerPixel;
    const auto bit = static_cast<std::size_t>(x) * bits;
    return (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
  }
};

// Whether every palette index of the image names an entry (other readers disagree on what
// one past the palette shows).
bool indicesWithinPalette(const StoredRows& rows) {
  for (long long y = 0; y < rows.header.height; ++y) {
    const std::uint8_t* row = rows.row(y);
    for (long long x = 0; x < rows.header.width; ++x) {
      if (rows.indexAt(row, x) >= rows.header.palette.size()) return false;
    }
  }
  return true;
}

// Whether any pixel of the image has a non-zero alpha field. Many writers leave the fourth
// byte of 32-bit pixels 0 without meaning alpha: an alpha that is 0 everywhere is none.
bool anyAlpha(const StoredRows& rows, const MaskField& alpha) {
  const unsigned bytes = rows.header.bitsPerPixel / 8;
  for (long long y = 0; y < rows.header.height; ++y) {
    const std::uint8_t* p = rows.row(y);
    for (long long x = 0; x < rows.header.width; ++x, p += bytes) {
      if (alpha.of(loadLittleEndian(p, bytes)) != 0) return true;
    }
  }
  return false;
}

void putColour(std::uint8_t* out, const BmpColour& colour, std::uint8_t alpha = 255) {
  out[0] = colour[0];
  out[1] = colour[1];
  out[2] = colour[2];
  out[3] = alpha;
}

void decodeRows(const StoredRows& rows, Bitmap& bitmap) {
  const BmpHeader& h = rows.header;
  const MaskField red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alphaField(h.masks[3]);
  const bool alpha = h.bitsPerPixel >= 16 && alphaField.present() && anyAlpha(rows, alphaField);
  const unsigned bytes = h.bitsPerPixel / 8;
  for (int y = 0; y < bitmap.height; ++y) {
    const std::uint8_t* in = rows.row(y);
    std::uint8_t* out = bitmap.row(y);
    for (int x = 0; x < bitmap.width; ++x, out += 4) {
      if (h.bitsPerPixel <= 8) {
        putColour(out, h.palette[rows.indexAt(in, x)]);
      } else if (h.bitsPerPixel == 24) {
        const std::uint8_t* p = in + 3 * static_cast<std::size_t>(x);
        putColour(out, {p[2], p[1], p[0]});
      } else {
        const std::uint32_t pixel =
            loadLittleEndian(in + bytes * static_cast<std::size_t>(x), bytes);
        putColour(out, {red.of(pixel), green.of(pixel), blue.of(pixel)},
                  alpha ? alphaField.of(pixel) : 255);
      }
    }
  }
  bitmap.knownOpaque = !alpha;
}

std::optional<DecodeFailure> decodeRunLengthRows(std::span<const std::uint8_t> data,
                                                 const BmpHeader& h, Bitmap& bitmap) {
  // Pixels the runs skip keep index 0; only the rows the runs reach are touched.
  RasterBytes indices = zeroedRasterBytes(static_cast<std::size_t>(bitmap.width) *
                                          static_cast<std::size_t>(bitmap.height));
  const RunLengthImage image{h.height, h.compression == kBmpRle8 ? 8u : 4u, h.palette.size()};
  if (const auto failure = decodeRunLength(data, image, bitmap.width, bitmap.height, indices))
    return failure;
  for (std::size_t i = 0; i < indices.size(); ++i)
    putColour(bitmap.pixels.data() + 4 * i, h.palette[indices[i]]);
  bitmap.knownOpaque = true;
  return std::nullopt;
}

}  // namespace

Decoded<DecodedImage> decodeBmp(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  const auto header = readBmpHeader(bytes);
  if (!header) return header.error();
  const BmpHeader& h = *header;
  const auto failure = [&](DecodeFailure kind) { return DecodeError{kind, h.width, h.height}; };
  if (const auto refused = checkImageSize(h.width, h.height, request)) return *refused;
  if (h.width == 0 || h.height == 0) return failure(DecodeFailure::Unreadable);
  if (h.pixelOffset > bytes.size()) return failure(DecodeFailure::CutShort);
  const auto data = bytes.subspan(h.pixelOffset);

  std::optional<StoredRows> rows;
  if (!h.runLength()) {
    const auto pixelBytes = checkedProduct(h.rowBytes(), h.height);
    if (!pixelBytes || data.size() < *pixelBytes) return failure(DecodeFailure::CutShort);
    rows.emplace(StoredRows{h, data.first(*pixelBytes)});
    if (h.bitsPerPixel <= 8 && !indicesWithinPalette(*rows))
      return failure(DecodeFailure::Unreadable);
  }

  // Only the kept part is allocated, whatever the file declares.
  auto bitmap =
      createBitmap(request.keptWidth(h.width), request.keptHeight(h.height), BitmapFill::Nothing);
  if (!bitmap) return bitmap.error();
  if (rows) {
    decodeRows(*rows, *bitmap);
  } else if (const auto refused = decodeRunLengthRows(data, h, *bitmap)) {
    return failure(*refused);
  }

  DecodedImage decoded{std::move(*bitmap), {}};
  decoded.resolution = Resolution::fromDotsPerMetre(static_cast<float>(h.pelsPerMetreX),
                                                    static_cast<float>(h.pelsPerMetreY));
  decoded.iccProfile.assign(h.iccProfile.begin(), h.iccProfile.end());
  return decoded;
}

}  // namespace quillane
