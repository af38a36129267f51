#pragma once

#include <cstddef>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/decode/Decode.h"
#include "image/decode/FrameSource.h"
#include "image/decode/PngStream.h"
#include "job/DecodeQueue.h"
#include "job/LayerSources.h"
#include "util/Geometry.h"

namespace quillane {

// Decodes a job's layers (a file, or one frame or page of it) on two threads ahead of their
// turn, so that decoding the next ones overlaps adding the current one. The frames of one file
// share its FrameSource, which reads the file once. Two files are decoded ahead (one on a canvas so
// large that each image is a large share of memory); when the canvas is small, more, as many as fit
// kExtraAheadBytes at its size: small images take little time each, and a short queue leaves the
// cores waiting on one another. Those past the first two are decoded ahead only if small, so that
// they hold little memory whatever the folder holds; a larger one is decoded in its turn instead.
// So is any file whose decoding ahead failed, which gives its reason. On a large canvas, a file
// whose rows can be decoded a band at a time (PngRowStream) is not decoded ahead: its stream
// is opened instead, and its rows decoded as they are written.
//
//   DecodeAhead ahead(layers, canvas, how, std::move(firstImage));
//   ahead.decodeFrom(0);
//   for each index: rows = ahead.takeRows(index), or image = ahead.take(index); ...;
//                   ahead.decodeFrom(index + 1);
// Whether a canvas of this size is so large that each image is a large share of memory.
bool isLargeCanvas(Size canvas);

class DecodeAhead {
 public:
  // layers: the job's layers, which must outlive this; canvas: the first file's size; first:
  // the first layer's image when measuring the canvas decoded it already, served for index 0;
  // how: how each file is decoded (orientation, CMYK), within the canvas; firstRows: the
  // first layer's stream instead of its image.
  DecodeAhead(const std::vector<LayerSource>& layers, Size canvas, const DecodeRequest& how,
              std::optional<DecodedImage> first, std::unique_ptr<PngRowStream> firstRows = nullptr);

  // Starts decoding the layers from index on, as many as may be ahead of it.
  void decodeFrom(std::size_t index);
  // The image of the layer at index, taken in order: decoded ahead, or decoded now; or why
  // its file cannot be decoded.
  Decoded<DecodedImage> take(std::size_t index);
  // The stream of the layer at index, taken before take(index) and instead of it; nothing
  // when its file is to be decoded whole.
  std::unique_ptr<PngRowStream> takeRows(std::size_t index);

 private:
  struct Pending {
    std::size_t index;
    std::future<Decoded<DecodedImage>> image;
    std::shared_ptr<FrameSource> frames;  // for a file of several frames
  };
  // The frames of the layer at index: its file's, shared with the layers before it.
  std::shared_ptr<FrameSource> framesOf(std::size_t index);
  DecodeRequest requestFor(std::size_t index) const;

  const std::vector<LayerSource>& layers_;
  const std::size_t wholeFilesAhead_;
  const std::size_t filesAhead_;
  const std::size_t smallImageBytes_;
  // Every file is decoded only within the canvas its layer is cropped to.
  DecodeRequest canvasPart_;
  const bool largeCanvas_;
  std::optional<DecodedImage> first_;
  // The streams opened for layers not yet taken, in order.
  std::deque<std::pair<std::size_t, std::unique_ptr<PngRowStream>>> streams_;
  std::size_t launched_ = 0;
  std::deque<Pending> pending_;
  std::shared_ptr<FrameSource> lastFrames_;  // of the last layer launched
  DecodeQueue queue_;                        // last: its workers stop before the rest goes
};

}  // namespace quillane
