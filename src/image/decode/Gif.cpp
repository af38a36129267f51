#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "image/decode/Decode.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t offset = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  if (wanted <= 0 || reader->offset >= reader->bytes.size()) return 0;
  const std::size_t count =
      std::min(static_cast<std::size_t>(wanted), reader->bytes.size() - reader->offset);
  std::memcpy(out, reader->bytes.data() + reader->offset, count);
  reader->offset += count;
  return static_cast<int>(count);
}

using Palette = std::array<std::array<std::uint8_t, 4>, 256>;

// Indices beyond the colour map read as opaque black; the transparent index as clear.
Palette makePalette(const ColorMapObject& map, int transparentIndex) {
  Palette palette{};
  for (auto& entry : palette) entry = {0, 0, 0, 255};
  const int count = std::min(map.ColorCount, 256);
  for (int i = 0; i < count; ++i) {
    const GifColorType& colour = map.Colors[i];
    palette[i] = {colour.Red, colour.Green, colour.Blue, 255};
  }
  if (transparentIndex >= 0 && transparentIndex < 256) palette[transparentIndex] = {0, 0, 0, 0};
  return palette;
}

// The order in which an interlaced frame stores its rows: every 8th from 0, every 8th
// from 4, every 4th from 2, every 2nd from 1.
std::vector<int> rowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  constexpr int kStart[] = {0, 4, 2, 1};
  constexpr int kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  return order;
}

// Reads the frame described by gif->Image and draws it onto the screen-sized bitmap,
// clipping what lies outside.
bool drawFrame(GifFileType* gif, const Palette& palette, Bitmap& screen) {
  const GifImageDesc& frame = gif->Image;
  if (frame.Width <= 0 || frame.Height <= 0 || frame.Width > kMaxPsdSide ||
      frame.Height > kMaxPsdSide)
    return false;
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  for (const int frameRow : rowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) return false;
    const int y = frame.Top + frameRow;
    if (y < 0 || y >= screen.height) continue;
    std::uint8_t* out = screen.row(y);
    for (int x = 0; x < frame.Width; ++x) {
      const int screenX = frame.Left + x;
      if (screenX < 0 || screenX >= screen.width) continue;
      std::memcpy(out + static_cast<std::size_t>(screenX) * 4, palette[line[x]].data(), 4);
    }
  }
  return true;
}

// Skips an extension, keeping the transparent index of a graphics control block.
bool readExtension(GifFileType* gif, int& transparentIndex) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
    GraphicsControlBlock control{};
    if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
      transparentIndex = control.TransparentColor;
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

// The first frame, drawn on a clear logical screen; later frames are not read.
std::optional<Bitmap> readFirstFrame(GifFileType* gif) {
  int transparentIndex = NO_TRANSPARENT_COLOR;
  GifRecordType record = UNDEFINED_RECORD_TYPE;
  while (DGifGetRecordType(gif, &record) == GIF_OK) {
    if (record == EXTENSION_RECORD_TYPE) {
      if (!readExtension(gif, transparentIndex)) return std::nullopt;
    } else if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) != GIF_OK) return std::nullopt;
      const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
      if (map == nullptr) return std::nullopt;
      auto screen = Bitmap::allocate(gif->SWidth, gif->SHeight);
      if (!screen || screen->width == 0 || screen->height == 0) return std::nullopt;
      if (!drawFrame(gif, makePalette(*map, transparentIndex), *screen)) return std::nullopt;
      return screen;
    } else {
      return std::nullopt;  // the stream ended before any frame
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<DecodedBitmap> decodeGif(std::span<const std::uint8_t> bytes) {
  MemoryReader reader{bytes};
  int error = 0;
  GifFile gif(DGifOpen(&reader, readFromMemory, &error));
  if (!gif) return std::nullopt;
  auto screen = readFirstFrame(gif.get());
  if (!screen) return std::nullopt;
  // GIF declares no resolution (only a pixel aspect ratio), so it stays at 72 dpi.
  return DecodedBitmap{std::move(*screen)};
}

}  // namespace quillane
