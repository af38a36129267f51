#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Canvas.h"
#include "image/Image.h"
#include "psd/ByteBuffer.h"
#include "psd/ChannelEncoding.h"
#include "psd/HelperThread.h"
#include "psd/PSDWriter.h"
#include "util/Geometry.h"

namespace quillane {

// Where a streamed document goes: bytes appended in order, and bytes already appended
// rewritten in place (the header and layer records, once their lengths are known).
class PSDSink {
 public:
  virtual ~PSDSink() = default;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  virtual void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

struct PSDStreamOptions {
  int layerChannelCount = 4;
  bool flipLayerData = false;           // as PSDWriter::setShouldFlipLayerData
  bool unpremultiplyLayerData = false;  // as PSDWriter::setShouldUnpremultiplyLayerData
  std::uint64_t maxFileBytes = kMaxPsdFileBytes;
};

// Writes the same bytes as PSDWriter::createPSDData for the same layers and options, but
// encodes each layer's channels as it is added and sends them to the sink, so that memory
// holds one layer and the composite, not the document. The layer names, and so the sizes
// of the layer records, are given up front: a record area of that size is reserved at the
// start of the file and filled in by finish(). The channels of a layer, and of the merged
// image, are packed on two threads.
//
//   PSDStreamWriter writer(sink, size, names, options);
//   writer.addLayerWithImage(image, 1.0f, {0, 0});  // once per name, in order
//   writer.finish();
class PSDStreamWriter {
 public:
  // Raises what createPSDData raises for a document of this size, channel count and
  // number of layers.
  PSDStreamWriter(PSDSink& sink, Size documentSize, std::vector<std::string> layerNames,
                  PSDStreamOptions options = {});
  PSDStreamWriter(const PSDStreamWriter&) = delete;
  PSDStreamWriter& operator=(const PSDStreamWriter&) = delete;

  // Adds the next named layer as PSDWriter::addLayerWithCGImage does and writes its
  // channels. Raises "DocumentTooLarge" as soon as the file passes maxFileBytes.
  void addLayerWithCGImage(const Bitmap& image, float opacity, Point offset);
  // Renders the image (renderBitmap) and adds it; an image that cannot render raises.
  void addLayerWithImage(const Image& image, float opacity, Point offset);
  // Writes the merged image and fills in the reserved area. Every named layer must have
  // been added.
  void finish();

  std::uint64_t bytesWritten() const { return written_; }

 private:
  struct LayerData {
    LayerBounds bounds;
    const Bitmap* image = nullptr;
    Rect source;           // the part of the image kept
    bool inPlace = false;  // its rows are the layer data as they are
  };
  LayerData placeLayerPixels(const Bitmap& image, Point offset, std::size_t index) const;
  const std::uint8_t* layerRow(const LayerData& layer, int row) const;
  void runTasks(int count, std::size_t bytes, const std::function<void(int)>& work);
  void createComposite();
  // Packs the layer's channels and runs alongside() meanwhile, then writes the channels.
  void writeLayerChannels(const LayerData& layer, const std::function<void()>& alongside);
  void writeMergedImage();
  void packBands(const LayerRows& rowAt, LayerBounds bounds,
                 const std::function<void()>& alongside);
  std::span<std::uint8_t> channelRowCounts(int channel);
  std::uint64_t bandBytes(int channel) const;
  void writeBands(int channel);
  // Header, image resources, section lengths and layer records.
  ByteBuffer fileStart(std::uint64_t layerInfoLength) const;
  void write(std::span<const std::uint8_t> bytes);
  void checkFileSize(std::uint64_t moreBytes) const;

  struct AddedLayer {
    float opacity = 1.0f;
    ChannelLengths lengths{};
  };

  PSDSink& sink_;
  Size documentSize_;
  int width_;
  int height_;
  std::vector<std::string> names_;
  PSDStreamOptions options_;
  std::vector<AddedLayer> added_;
  std::size_t reserved_ = 0;
  std::uint64_t written_ = 0;
  ChannelEncoder encoder_;
  std::optional<Canvas> composite_;
  // The packed rows of the current layer (or merged image): a band of rows, channel by
  // channel; and every channel's row byte counts, one channel after another. Reused from
  // layer to layer, so that memory is touched once.
  std::vector<std::array<ByteBuffer, kMaxChannelCount>> bands_;
  ByteBuffer rowCounts_;
  HelperThread helper_;
};

}  // namespace quillane
