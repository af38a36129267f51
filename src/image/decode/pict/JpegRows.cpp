#include "image/decode/pict/JpegRows.h"

#include "image/decode/Decoders.h"

namespace quillane {

// The JPEG decoder of the image layer does the work, with its limits (scan count, memory
// budget, warnings as failures); the picture only places the rows. Only the part of the JPEG
// that lands in the raster is decoded.
bool drawJpeg(std::span<const std::uint8_t> data, const JpegPlacement& placement) {
  const std::optional<Size> size = jpegPixelSize(data);
  if (!size) return false;
  std::optional<RowPlacer> placer = placement(size->width, size->height);
  if (!placer) return false;
  const auto decoded = decodeJpeg(data, placer->sourceNeeded());
  if (!decoded) return false;
  const Bitmap& bitmap = decoded->bitmap;
  for (int y = 0; y < bitmap.height && !placer->finished(); ++y) placer->placeRow(y, bitmap.row(y));
  return true;
}

}  // namespace quillane
