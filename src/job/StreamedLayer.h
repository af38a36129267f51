#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "image/Bitmap.h"
#include "image/decode/PngStream.h"
#include "job/DocumentColours.h"
#include "job/JobRequest.h"
#include "psd/PSDWriter.h"
#include "util/Geometry.h"
#include "util/ProgressUtility.h"

namespace quillane {

// A layer whose rows are decoded a band at a time, and keyed and brought into the document's
// colours band by band as a whole image is: the way a layer of a large canvas goes, so that
// its image never lies in memory whole. A band that cannot be decoded raises the file's error.
class StreamedLayer final : public LayerBands {
 public:
  // colours: the document's, or nothing when every sample is kept as stored. steps: the
  // job's, whose minor step counts the pixels keyed.
  StreamedLayer(std::unique_ptr<PngRowStream> rows, std::string file, const JobRequest& request,
                DocumentColours* colours, ProgressUtility& steps);

  Size size() const { return {rows_->width(), rows_->height()}; }
  const DecodedImage& header() const { return rows_->header(); }
  const Bitmap* next() override;

 private:
  std::unique_ptr<PngRowStream> rows_;
  std::string file_;
  KeyColour key_;
  int tolerance_;
  const ColourConversion* conversion_ = nullptr;
  ProgressUtility& steps_;
  int bandRows_;
  int top_ = 0;
  // Two bands in turn: the writer packs one while the next is decoded into the other.
  std::array<Bitmap, 2> bands_;
  std::size_t turn_ = 0;
};

}  // namespace quillane
