#pragma once

#include <cstddef>
#include <deque>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "image/decode/Decode.h"
#include "job/DecodeQueue.h"
#include "util/Geometry.h"

namespace quillane {

// Decodes a job's files on two threads ahead of their turn, so that decoding the next files
// overlaps adding the current one. Two files are decoded ahead (one on a canvas so large
// that each image is a large share of memory); when the canvas is small,
// more, as many as fit kExtraAheadBytes at its size: small images take little time each,
// and a short queue leaves the cores waiting on one another. Those past the first two are
// decoded ahead only if small, so that they hold little memory whatever the folder holds; a
// larger one is decoded in its turn instead. So is any file whose decoding ahead failed,
// which gives its reason.
//
//   DecodeAhead ahead(files, canvas, how, std::move(firstImage));
//   ahead.decodeFrom(0);
//   for each index: image = ahead.take(index); ...; ahead.decodeFrom(index + 1);
class DecodeAhead {
 public:
  // files: the job's files, which must outlive this; canvas: the first file's size; first:
  // the first file's image when measuring the canvas decoded it already, served for index 0;
  // how: how each file is decoded (orientation, CMYK), within the canvas.
  DecodeAhead(const std::vector<std::string>& files, Size canvas, const DecodeRequest& how,
              std::optional<DecodedImage> first);

  // Starts decoding the files from index on, as many as may be ahead of it.
  void decodeFrom(std::size_t index);
  // The image of the file at index, taken in order: decoded ahead, or decoded now; or why
  // the file cannot be decoded.
  Decoded<DecodedImage> take(std::size_t index);

 private:
  struct Pending {
    std::size_t index;
    std::future<Decoded<DecodedImage>> image;
  };

  const std::vector<std::string>& files_;
  const std::size_t wholeFilesAhead_;
  const std::size_t filesAhead_;
  const std::size_t smallImageBytes_;
  // Every file is decoded only within the canvas its layer is cropped to.
  DecodeRequest canvasPart_;
  std::optional<DecodedImage> first_;
  std::size_t launched_ = 0;
  std::deque<Pending> pending_;
  DecodeQueue queue_;  // last: its workers stop before the rest goes
};

}  // namespace quillane
