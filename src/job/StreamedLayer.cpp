#include "job/StreamedLayer.h"

#include <algorithm>
#include <utility>

#include "job/ImageError.h"
#include "job/Keying.h"
#include "util/Log.h"

namespace quillane {
namespace {

// Pixel bytes in a band: enough that a band is worth a turn of both threads, few enough
// that two of them are a small share of a large canvas.
constexpr std::size_t kBandBytes = std::size_t{4} << 20;
constexpr int kMinBandsPerLayer = 16;

std::size_t rowBytesOf(int width) { return static_cast<std::size_t>(width) * 4; }

}  // namespace

StreamedLayer::StreamedLayer(std::unique_ptr<PngRowStream> rows, std::string file,
                             const JobRequest& request, DocumentColours* colours,
                             ProgressUtility& steps)
    : rows_(std::move(rows)),
      file_(std::move(file)),
      key_(request.key),
      tolerance_(request.tolerance),
      steps_(steps),
      bandRows_(std::max(1, std::min(static_cast<int>(kBandBytes / rowBytesOf(rows_->width())),
                                     rows_->height() / kMinBandsPerLayer))) {
  if (colours) conversion_ = colours->conversionOf(rows_->header().iccProfile, file_);
  if (key_ == KeyColour::None) return;
  logLine("inBitImage: %d , %d", rows_->width(), rows_->height());
  steps_.setMinorStepMax(static_cast<double>(rows_->width()) * rows_->height());
}

const Bitmap* StreamedLayer::next() {
  const int rows = std::min(bandRows_, rows_->height() - top_);
  if (rows <= 0) return nullptr;
  Bitmap& band = bands_[turn_++ % bands_.size()];
  if (band.height != rows) {
    Decoded<Bitmap> fresh = createBitmap(rows_->width(), rows, BitmapFill::Nothing);
    if (!fresh) throw imageError(file_, {DecodeFailure::OutOfMemory, size().width, size().height});
    band = std::move(*fresh);
  }
  if (const auto failure = rows_->readRows(band.pixels.data(), rows))
    throw imageError(file_, *failure);
  top_ += rows;
  const bool keyed = keyRowsInPlace(band, key_, tolerance_);
  band.knownOpaque = rows_->knownOpaque() && !keyed;
  if (key_ != KeyColour::None) steps_.setMinorStep(static_cast<double>(rows_->width()) * top_);
  if (conversion_ != nullptr) conversion_->convert(band);
  return &band;
}

}  // namespace quillane
