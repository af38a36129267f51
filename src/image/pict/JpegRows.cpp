#include "image/pict/JpegRows.h"

#include "image/decode/Decode.h"

namespace quillane {

// The JPEG decoder of the image layer does the work, with its limits (scan count, memory
// budget, warnings as failures); the picture only places the rows.
bool drawJpeg(std::span<const std::uint8_t> data, const JpegPlacement& placement) {
  const auto decoded = decodeJpeg(data);
  if (!decoded) return false;
  const Bitmap& bitmap = decoded->bitmap;
  std::optional<RowPlacer> placer = placement(bitmap.width, bitmap.height);
  if (!placer) return false;
  for (int y = 0; y < bitmap.height && !placer->finished(); ++y) placer->placeRow(y, bitmap.row(y));
  return true;
}

}  // namespace quillane
