#include "psd/PSDWriter.h"

#include <cstdio>
#include <new>

#include "image/SourceFile.h"
#include "psd/LayerPlacement.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"
#include "util/Log.h"

namespace quillane {
namespace {

// The cropped part s of a straight RGBA8 image as premultiplied RGBA8 bytes (see
// copyPremultiplied). Nothing when the buffer cannot be allocated.
std::shared_ptr<std::vector<std::uint8_t>> CGImageGetData(const Bitmap& image, Rect s) {
  const auto bytes = rgbaByteCount(static_cast<int>(s.width), static_cast<int>(s.height));
  if (!bytes) return nullptr;
  std::shared_ptr<std::vector<std::uint8_t>> data;
  try {
    data = std::make_shared<std::vector<std::uint8_t>>(*bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  copyPremultiplied(image, s, data->data());
  return data;
}

// A side as the whole pixel count the canvas uses.
int wholePixels(float side) { return static_cast<int>(side); }

}  // namespace

void checkDocumentSide(Size documentSize) {
  const auto tooLarge = [](float side) { return !(side < kMaxPsdSide + 1.0f); };
  if (tooLarge(documentSize.width) || tooLarge(documentSize.height)) {
    char reason[160];
    std::snprintf(
        reason, sizeof reason,
        "The canvas is %.0f x %.0f pixels; a PSD document holds at most %d pixels a side.",
        documentSize.width, documentSize.height, kMaxPsdSide);
    throw Exception(kDocumentTooLargeName, reason);
  }
}

PSDWriter::PSDWriter() = default;
PSDWriter::PSDWriter(Size documentSize) : documentSize_(documentSize) {}
PSDWriter::~PSDWriter() { removeAllLayers(); }

void PSDWriter::addLayerWithCGImage(const Bitmap& image, const std::string& name, float opacity,
                                    Point offset) {
  logLine("adding layer: %s", name.c_str());
  if (!layers_) {
    logLine("layer %s not kept: the writer's layers were removed", name.c_str());
    return;
  }
  const float dw = documentSize_.width;
  const float dh = documentSize_.height;
  const LayerPlacement placement = placeLayer(image, offset, documentSize_);

  PSDLayer added;
  added.name = name;
  added.opacity = opacity;
  // A layer must lie on the canvas; one that does not overlap it at all is kept empty.
  if (placement.kept) {
    added.rect = placement.layer;
    added.imageData = CGImageGetData(image, placement.source);
    if (!added.imageData) logLine("layer %s: its pixels could not be rendered", name.c_str());
  } else {
    logLine("layer %s does not overlap the canvas; it is kept empty", name.c_str());
  }
  layers_->push_back(std::move(added));

  if (flattenedData_) return;
  if (!(dw >= 1.0f && dh >= 1.0f)) {
    throw Exception(kGenericExceptionName,
                    "You must specify a non-zero documentSize before calling addLayer:");
  }
  if (!flattenedContext_) {
    checkDocumentSide(documentSize_);
    flattenedContext_ = Canvas::create(wholePixels(dw), wholePixels(dh));
    if (!flattenedContext_) {
      throw Exception(kGenericExceptionName, "The composite canvas could not be allocated.");
    }
    flattenedContext_->fillOpaqueWhite();
  }
  flattenedContext_->setAlpha(opacity);
  flattenedContext_->drawBitmap(image, offset);
}

void PSDWriter::addLayerWithImage(const Image& image, const std::string& name, float opacity,
                                  Point offset) {
  const std::shared_ptr<const Bitmap> bitmap = image.renderBitmap();
  if (!bitmap) {
    throw Exception(kGenericExceptionName, "The image of layer \"" + name + "\" cannot be drawn.");
  }
  addLayerWithCGImage(*bitmap, name, opacity, offset);
}

void PSDWriter::addLayerWithUrl(const std::string& path, const std::string& name, float opacity,
                                Point offset) {
  const auto image = decodeSourceFile(path);
  if (!image) {
    throw Exception(kGenericExceptionName, "The image file \"" + path + "\" cannot be decoded.");
  }
  addLayerWithImage(*image, name, opacity, offset);
}

void PSDWriter::removeAllLayers() {
  flattenedContext_.reset();
  layers_.reset();
  flattenedData_.reset();
}

}  // namespace quillane
