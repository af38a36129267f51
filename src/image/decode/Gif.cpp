#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "image/Palette.h"
#include "image/decode/ByteReader.h"
#include "image/decode/Decoders.h"
#include "image/decode/SizeCheck.h"

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
  explicit MemoryReader(std::span<const std::uint8_t> data) : bytes(data) {}
  ByteReader bytes;
  bool ranOut = false;  // giflib asked for bytes past the end
};

int readFromMemory(GifFileType* gif, GifByteType* out, int wanted) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  if (wanted <= 0) return 0;
  const std::size_t count = reader->bytes.copyOut(out, static_cast<std::size_t>(wanted));
  if (count < static_cast<std::size_t>(wanted)) reader->ranOut = true;
  return static_cast<int>(count);
}

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

// The frame's rows in the order it stores them, up to the last one that lands on the screen:
// the rows after it are not decoded.
std::vector<int> rowsToRead(const GifImageDesc& frame, int screenHeight) {
  std::vector<int> order = rowOrder(frame.Height, frame.Interlace);
  const auto onScreen = [&](int row) { return frame.Top + row < screenHeight; };
  order.erase(std::find_if(order.rbegin(), order.rend(), onScreen).base(), order.end());
  return order;
}

// Reads the frame described by gif->Image and draws it onto the screen-sized bitmap (the
// kept part of the logical screen), clipping what lies outside.
std::optional<DecodeError> drawFrame(GifFileType* gif, const Palette& palette, Bitmap& screen,
                                     const DecodeRequest& request) {
  const GifImageDesc& frame = gif->Image;
  // The side limit is the screen's: a frame is cut to it.
  const DecodeRequest framePart{.keepWidth = request.keepWidth, .keepHeight = request.keepHeight};
  if (const auto refused = checkImageSize(frame.Width, frame.Height, framePart)) return refused;
  if (frame.Width == 0 || frame.Height == 0) return DecodeError{};
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  for (const int frameRow : rowsToRead(frame, screen.height)) {
    if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) return DecodeError{};
    const int y = frame.Top + frameRow;
    if (y < 0 || y >= screen.height) continue;
    std::uint8_t* out = screen.row(y);
    for (int x = 0; x < frame.Width; ++x) {
      const int screenX = frame.Left + x;
      if (screenX < 0 || screenX >= screen.width) continue;
      std::memcpy(out + static_cast<std::size_t>(screenX) * 4, palette[line[x]].data(), 4);
    }
  }
  return std::nullopt;
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

// The first frame, drawn on the kept part of a clear logical screen; later frames are not
// read.
Decoded<Bitmap> readFirstFrame(GifFileType* gif, const DecodeRequest& request) {
  int transparentIndex = NO_TRANSPARENT_COLOR;
  GifRecordType record = UNDEFINED_RECORD_TYPE;
  while (DGifGetRecordType(gif, &record) == GIF_OK) {
    if (record == EXTENSION_RECORD_TYPE) {
      if (!readExtension(gif, transparentIndex)) break;
    } else if (record == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif) != GIF_OK) break;
      const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
      if (map == nullptr) break;
      if (gif->SWidth == 0 || gif->SHeight == 0) break;
      if (const auto refused = checkImageSize(gif->SWidth, gif->SHeight, request)) return *refused;
      auto screen = createBitmap(request.keptWidth(gif->SWidth), request.keptHeight(gif->SHeight),
                                 BitmapFill::Zeroes);
      if (!screen) return screen;
      const auto failed = drawFrame(gif, makePalette(*map, transparentIndex), *screen, request);
      if (failed) return *failed;
      return screen;
    } else {
      break;  // the stream ended before any frame
    }
  }
  return DecodeFailure::Unreadable;
}

}  // namespace

Decoded<DecodedImage> decodeGif(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  MemoryReader reader(bytes);
  int error = 0;
  GifFile gif(DGifOpen(&reader, readFromMemory, &error));
  auto screen =
      gif ? readFirstFrame(gif.get(), request) : Decoded<Bitmap>(DecodeFailure::Unreadable);
  if (!screen) {
    if (screen.error().kind == DecodeFailure::Unreadable && reader.ranOut)
      return DecodeError{DecodeFailure::CutShort, screen.error().width, screen.error().height};
    return screen.error();
  }
  // GIF declares no resolution (only a pixel aspect ratio), so it stays at 72 dpi.
  return DecodedImage{std::move(*screen), {}};
}

}  // namespace quillane
