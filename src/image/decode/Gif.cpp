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

// The part of the screen a frame covers, cut to the kept part.
struct Area {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
};

Area areaOf(const GifImageDesc& frame, const Bitmap& screen) {
  const auto clamp = [](long long value, int high) {
    return static_cast<int>(std::clamp<long long>(value, 0, high));
  };
  const int left = clamp(frame.Left, screen.width), top = clamp(frame.Top, screen.height);
  return {left, top, std::max(left, clamp(frame.Left + frame.Width, screen.width)),
          std::max(top, clamp(frame.Top + frame.Height, screen.height))};
}

// Skips the rest of a frame's data: giflib reads whole sub-blocks, so the stream is at the
// start of one.
bool skipFrameData(GifFileType* gif) {
  GifByteType* block = nullptr;
  do {
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
  } while (block != nullptr);
  return true;
}

// Reads the frame described by gif->Image and draws it onto the screen-sized bitmap (the
// kept part of the logical screen), clipping what lies outside; the transparent index leaves
// what is below. unreadRows: whether rows below the kept part are left in the stream.
std::optional<DecodeError> drawFrame(GifFileType* gif, const Palette& palette, int transparentIndex,
                                     Bitmap& screen, const DecodeRequest& request,
                                     bool& unreadRows) {
  const GifImageDesc& frame = gif->Image;
  // The side limit is the screen's: a frame is cut to it.
  const DecodeRequest framePart{.keepWidth = request.keepWidth, .keepHeight = request.keepHeight};
  if (const auto refused = checkImageSize(frame.Width, frame.Height, framePart)) return refused;
  if (frame.Width == 0 || frame.Height == 0) return DecodeError{};
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  const std::vector<int> rows = rowsToRead(frame, screen.height);
  for (const int frameRow : rows) {
    if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) return DecodeError{};
    const int y = frame.Top + frameRow;
    if (y < 0 || y >= screen.height) continue;
    std::uint8_t* out = screen.row(y);
    for (int x = 0; x < frame.Width; ++x) {
      const int screenX = frame.Left + x;
      if (screenX < 0 || screenX >= screen.width || line[x] == transparentIndex) continue;
      std::memcpy(out + static_cast<std::size_t>(screenX) * 4, palette[line[x]].data(), 4);
    }
  }
  unreadRows = rows.size() < static_cast<std::size_t>(frame.Height);
  return std::nullopt;
}

// What a frame's graphics control block says: its transparent index and what becomes of its
// area before the next frame is drawn.
struct FrameControl {
  int transparentIndex = NO_TRANSPARENT_COLOR;
  int disposal = DISPOSAL_UNSPECIFIED;
};

// Skips an extension, keeping what a graphics control block says.
bool readExtension(GifFileType* gif, FrameControl& control) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr) {
    GraphicsControlBlock gcb{};
    if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
      control = {gcb.TransparentColor, gcb.DisposalMode};
  }
  while (block != nullptr) {
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

// Reads records up to the next frame's image descriptor, keeping its control block; false
// when the stream ends or breaks before one.
bool readToNextFrame(GifFileType* gif, FrameControl& control) {
  GifRecordType record = UNDEFINED_RECORD_TYPE;
  while (DGifGetRecordType(gif, &record) == GIF_OK) {
    if (record == EXTENSION_RECORD_TYPE) {
      if (!readExtension(gif, control)) return false;
    } else {
      return record == IMAGE_DESC_RECORD_TYPE && DGifGetImageDesc(gif) == GIF_OK;
    }
  }
  return false;
}

}  // namespace

// A GIF read frame by frame, as a viewer shows it: each frame drawn over what the previous
// one left, on the kept part of a logical screen that starts clear.
struct GifAnimation {
  explicit GifAnimation(std::span<const std::uint8_t> bytes) : reader(bytes) {
    int error = 0;
    gif.reset(DGifOpen(&reader, readFromMemory, &error));
  }

  std::optional<DecodeError> drawNextFrame(const DecodeRequest& request);
  void disposeLastFrame();

  MemoryReader reader;
  GifFile gif;
  DecodeRequest keep;            // the part kept, the same for every frame
  std::optional<Bitmap> screen;  // made at the first frame
  int framesDrawn = 0;
  bool unreadRows = false;  // the last frame's rows below the kept part, skipped on the way
  // The last frame drawn: its area, what becomes of it, and for DISPOSE_PREVIOUS what lay
  // there before it was drawn.
  Area area;
  int disposal = DISPOSAL_UNSPECIFIED;
  std::vector<std::uint8_t> under;
};

void GifAnimation::disposeLastFrame() {
  const std::size_t rowBytes = static_cast<std::size_t>(area.width()) * 4;
  for (int y = area.top; y < area.bottom && rowBytes > 0; ++y) {
    std::uint8_t* row = screen->row(y) + static_cast<std::size_t>(area.left) * 4;
    if (disposal == DISPOSE_BACKGROUND) std::memset(row, 0, rowBytes);
    if (disposal == DISPOSE_PREVIOUS)
      std::memcpy(row, under.data() + static_cast<std::size_t>(y - area.top) * rowBytes, rowBytes);
  }
}

std::optional<DecodeError> GifAnimation::drawNextFrame(const DecodeRequest& request) {
  FrameControl control;
  if (unreadRows && !skipFrameData(gif.get())) return DecodeError{};
  if (!readToNextFrame(gif.get(), control)) return DecodeError{};
  const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
  if (map == nullptr || gif->SWidth == 0 || gif->SHeight == 0) return DecodeError{};
  if (!screen) {
    if (const auto refused = checkImageSize(gif->SWidth, gif->SHeight, request)) return refused;
    auto made = createBitmap(request.keptWidth(gif->SWidth), request.keptHeight(gif->SHeight),
                             BitmapFill::Zeroes);
    if (!made) return made.error();
    screen = std::move(*made);
  } else {
    disposeLastFrame();
  }
  area = areaOf(gif->Image, *screen);
  disposal = control.disposal;
  under.clear();
  if (disposal == DISPOSE_PREVIOUS)
    under.reserve(static_cast<std::size_t>(area.width()) * 4 * (area.bottom - area.top));
  for (int y = area.top; y < area.bottom && disposal == DISPOSE_PREVIOUS; ++y) {
    const std::uint8_t* row = screen->row(y) + static_cast<std::size_t>(area.left) * 4;
    under.insert(under.end(), row, row + static_cast<std::size_t>(area.width()) * 4);
  }
  const Palette palette = makePalette(*map, control.transparentIndex);
  if (const auto failed =
          drawFrame(gif.get(), palette, control.transparentIndex, *screen, request, unreadRows))
    return failed;
  ++framesDrawn;
  return std::nullopt;
}

GifFrames::GifFrames(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
GifFrames::~GifFrames() = default;

std::optional<DecodeError> GifFrames::drawTo(const DecodeRequest& request) {
  const bool sameKeep = animation_ && animation_->keep.keepWidth == request.keepWidth &&
                        animation_->keep.keepHeight == request.keepHeight;
  if (!sameKeep || animation_->framesDrawn > request.frame) {
    animation_ = std::make_unique<GifAnimation>(bytes_);
    animation_->keep = request;
  }
  GifAnimation& animation = *animation_;
  while (animation.framesDrawn <= std::max(request.frame, 0)) {
    const auto failed = animation.gif ? animation.drawNextFrame(request) : DecodeError{};
    if (!failed) continue;
    DecodeError error = *failed;
    if (error.kind == DecodeFailure::Unreadable && animation.reader.ranOut)
      error.kind = DecodeFailure::CutShort;
    animation_.reset();  // the next frame asked for starts over
    return error;
  }
  return std::nullopt;
}

Decoded<Bitmap> GifFrames::copyScreen() const {
  const Bitmap& screen = *animation_->screen;
  auto copy = createBitmap(screen.width, screen.height, BitmapFill::Nothing);
  if (copy) std::copy(screen.pixels.begin(), screen.pixels.end(), copy->pixels.begin());
  return copy;
}

Bitmap GifFrames::takeScreen() {
  Bitmap screen = std::move(*animation_->screen);
  animation_.reset();
  return screen;
}

int countGifFrames(std::span<const std::uint8_t> bytes) {
  GifAnimation animation(bytes);
  GifFileType* gif = animation.gif.get();
  int frames = 0;
  FrameControl control;
  while (gif != nullptr && frames < kMaxFramesPerFile && readToNextFrame(gif, control)) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) != GIF_OK) break;
    if (block != nullptr && !skipFrameData(gif)) break;
    ++frames;  // a frame whose data is all there
  }
  return std::max(frames, 1);
}

Decoded<DecodedImage> decodeGif(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  GifFrames frames(bytes);
  if (const auto failed = frames.drawTo(request)) return *failed;
  // GIF declares no resolution (only a pixel aspect ratio), so it stays at 72 dpi.
  return DecodedImage{frames.takeScreen(), {}};
}

}  // namespace quillane
