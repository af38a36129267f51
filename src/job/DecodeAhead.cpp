#include "job/DecodeAhead.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "image/decode/Decode.h"
#include "util/CheckedSize.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

// Each file decoded ahead holds one decoded image in memory; two keep both cores busy when
// decoding is the slower half (PNG). Past kLargeCanvasBytes, or past a share of the image
// budget on a machine of little memory, an image is a large share of the memory, and one is
// decoded ahead.
constexpr std::size_t kFilesDecodedAhead = 2;
constexpr std::size_t kLargeCanvasBytes = std::size_t{100} << 20;
constexpr std::size_t kLargeCanvasShareOfBudget = 40;
constexpr std::size_t kMaxFilesDecodedAhead = 8;
constexpr std::size_t kExtraAheadBytes = std::size_t{36} << 20;
// Threads that decode ahead: one per core of the machines we build for.
constexpr unsigned kDecodingThreads = 2;

std::size_t canvasBytesOf(Size canvas) {
  return rgbaByteCount(canvas.width, canvas.height).value_or(SIZE_MAX);
}

std::size_t wholeFilesAheadFor(Size canvas) {
  return isLargeCanvas(canvas) ? 1 : kFilesDecodedAhead;
}

std::size_t filesAheadFor(Size canvas) {
  return std::clamp(kExtraAheadBytes / std::max<std::size_t>(canvasBytesOf(canvas), 1),
                    wholeFilesAheadFor(canvas), kMaxFilesDecodedAhead);
}

}  // namespace

bool isLargeCanvas(Size canvas) {
  return canvasBytesOf(canvas) >
         std::min(kLargeCanvasBytes, imageByteBudget() / kLargeCanvasShareOfBudget);
}

DecodeAhead::DecodeAhead(const std::vector<LayerSource>& layers, Size canvas,
                         const DecodeRequest& how, std::optional<DecodedImage> first,
                         std::unique_ptr<PngRowStream> firstRows)
    : layers_(layers),
      wholeFilesAhead_(wholeFilesAheadFor(canvas)),
      filesAhead_(filesAheadFor(canvas)),
      smallImageBytes_(kExtraAheadBytes / filesAhead_),
      canvasPart_(how),
      largeCanvas_(isLargeCanvas(canvas)),
      first_(std::move(first)),
      launched_(first_ || firstRows ? 1 : 0),
      queue_(kDecodingThreads) {
  canvasPart_.keepWidth = canvas.width;
  canvasPart_.keepHeight = canvas.height;
  if (firstRows) streams_.emplace_back(0, std::move(firstRows));
}

std::shared_ptr<FrameSource> DecodeAhead::framesOf(std::size_t index) {
  const LayerSource& layer = layers_[index];
  if (layer.frameCount == 1) return nullptr;
  if (!lastFrames_ || layer.frame == 0 || layers_[index - 1].path != layer.path)
    lastFrames_ = std::make_shared<FrameSource>(layer.path);
  // The file's last frame: its frames go with the layers that hold them.
  if (layer.frame + 1 == layer.frameCount) return std::exchange(lastFrames_, nullptr);
  return lastFrames_;
}

DecodeRequest DecodeAhead::requestFor(std::size_t index) const {
  DecodeRequest request = canvasPart_;
  request.frame = layers_[index].frame;
  return request;
}

void DecodeAhead::decodeFrom(std::size_t index) {
  for (; launched_ < std::min(index + filesAhead_, layers_.size()); ++launched_) {
    const bool smallOnly = launched_ >= index + wholeFilesAhead_;
    const std::size_t maxBytes = smallOnly ? smallImageBytes_ : SIZE_MAX;
    const std::string& path = layers_[launched_].path;
    const DecodeRequest request = requestFor(launched_);
    if (largeCanvas_ && layers_[launched_].frameCount == 1) {
      if (auto rows = PngRowStream::open(path, request)) {
        streams_.emplace_back(launched_, std::move(rows));
        continue;
      }
    }
    auto frames = framesOf(launched_);
    auto image = queue_.push([&path, frames, request, maxBytes] {
      const ThreadImageByteLimit limit(maxBytes);
      return frames ? frames->decode(request) : decodeSourceFile(path, request);
    });
    pending_.push_back({launched_, std::move(image), std::move(frames)});
  }
}

std::unique_ptr<PngRowStream> DecodeAhead::takeRows(std::size_t index) {
  if (streams_.empty() || streams_.front().first != index) return nullptr;
  std::unique_ptr<PngRowStream> rows = std::move(streams_.front().second);
  streams_.pop_front();
  return rows;
}

Decoded<DecodedImage> DecodeAhead::take(std::size_t index) {
  if (index == 0 && first_) return *std::exchange(first_, std::nullopt);
  std::shared_ptr<FrameSource> frames;
  if (!pending_.empty() && pending_.front().index == index) {
    Pending pending = std::move(pending_.front());
    pending_.pop_front();
    if (Decoded<DecodedImage> image = pending.image.get()) return image;
    frames = std::move(pending.frames);
  }
  if (frames) return frames->decode(requestFor(index));
  return decodeSourceFile(layers_[index].path, requestFor(index));
}

}  // namespace quillane
