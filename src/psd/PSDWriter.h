#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Canvas.h"
#include "image/Image.h"
#include "psd/ByteBuffer.h"
#include "psd/PSDLayer.h"
#include "util/Geometry.h"

namespace quillane {

// PSD version 1 readers and Photoshop refuse files past 2 GB; the section lengths are
// 32-bit. createPSDData refuses a document that would be larger before writing anything.
inline constexpr std::uint64_t kMaxPsdFileBytes = (std::uint64_t{1} << 31) - 1;

// Exception names of the writer besides kGenericExceptionName.
inline constexpr const char* kLayerOutOfBoundsName = "LayerOutOfBounds";
// A canvas side above kMaxPsdSide, or a file above kMaxPsdFileBytes.
inline constexpr const char* kDocumentTooLargeName = "DocumentTooLarge";
// A layer whose pixel buffer does not hold the pixels of its rect.
inline constexpr const char* kInvalidLayerDataName = "InvalidLayerData";

// Raises "DocumentTooLarge" when a side of the canvas is above kMaxPsdSide.
void checkDocumentSide(Size documentSize);

// A layered document: a canvas of fixed size, layers in stack order (first = bottom) and a
// composite of everything added, encoded as a PSD (version 1, RGB, 8 bits, PackBits).
class PSDWriter {
 public:
  PSDWriter();
  explicit PSDWriter(Size documentSize);  // initWithDocumentSize
  ~PSDWriter();
  PSDWriter(const PSDWriter&) = delete;
  PSDWriter& operator=(const PSDWriter&) = delete;

  Size documentSize() const { return documentSize_; }
  void setDocumentSize(Size size) { documentSize_ = size; }
  // Nothing after removeAllLayers: the writer then has no list at all.
  std::vector<PSDLayer>* layers() { return layers_ ? &*layers_ : nullptr; }
  void setLayers(std::vector<PSDLayer> layers) { layers_ = std::move(layers); }
  int layerChannelCount() const { return layerChannelCount_; }
  void setLayerChannelCount(int count) { layerChannelCount_ = count; }
  const std::shared_ptr<std::vector<std::uint8_t>>& flattenedData() const { return flattenedData_; }
  void setFlattenedData(std::shared_ptr<std::vector<std::uint8_t>> data) {
    flattenedData_ = std::move(data);
  }
  // Mirrors each layer's pixels top to bottom within its own buffer before encoding; a
  // layer smaller than the canvas keeps its rect. The merged image is never flipped.
  bool shouldFlipLayerData() const { return shouldFlipLayerData_; }
  void setShouldFlipLayerData(bool flip) { shouldFlipLayerData_ = flip; }
  bool shouldUnpremultiplyLayerData() const { return shouldUnpremultiplyLayerData_; }
  void setShouldUnpremultiplyLayerData(bool unpremultiply) {
    shouldUnpremultiplyLayerData_ = unpremultiply;
  }

  // Appends one layer cropped to the canvas and draws the image on the composite. An image
  // that does not overlap the canvas becomes an empty layer (rect 0, 0, 0, 0, no pixels),
  // written fully transparent.
  void addLayerWithCGImage(const Bitmap& image, const std::string& name, float opacity,
                           Point offset);
  // Renders the image (renderBitmap) and adds it as above; an image that cannot render
  // raises an exception.
  void addLayerWithImage(const Image& image, const std::string& name, float opacity, Point offset);
  // Decodes the file and adds it as above; a file that cannot be decoded raises.
  void addLayerWithUrl(const std::string& path, const std::string& name, float opacity,
                       Point offset);
  // Drops the canvas, the layer list and the flattened data.
  void removeAllLayers();

  // The whole PSD file. Consumes the layers (each layer's pixels are released once
  // encoded). Raises quillane::Exception on failure, "DocumentTooLarge" as soon as the file
  // would pass maxFileBytes (a smaller limit is for tests).
  ByteBuffer createPSDData(std::uint64_t maxFileBytes = kMaxPsdFileBytes);

  // The pieces of the file, public so that they can be checked on their own.
  void preprocess();
  static ByteBuffer resolutionInfo();
  static ByteBuffer signature8BIM();
  static ByteBuffer createProtectedSetting();
  ByteBuffer createExtraData() const;  // of the current layer, layers()->front()
  ByteBuffer createLayerName() const;
  ByteBuffer createPascalLayerName() const;
  ByteBuffer createUnicodeLayerName() const;
  // Shift-JIS (CP932) bytes of the longest prefix of name, shortened one UTF-16 code unit at
  // a time, whose form has at most 255 bytes.
  static std::string trancate255(const std::u16string& name);
  static void dump(const std::uint8_t* bytes, std::size_t count);

 private:
  Size documentSize_;
  std::optional<std::vector<PSDLayer>> layers_{std::in_place};
  int layerChannelCount_ = 4;
  std::shared_ptr<std::vector<std::uint8_t>> flattenedData_;
  std::optional<Canvas> flattenedContext_;
  bool shouldFlipLayerData_ = false;
  bool shouldUnpremultiplyLayerData_ = false;
};

}  // namespace quillane
