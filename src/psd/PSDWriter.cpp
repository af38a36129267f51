#include "psd/PSDWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "image/decode/Decode.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"
#include "util/Log.h"

namespace quillane {
namespace {

// The cropped part s of a straight RGBA8 image as premultiplied RGBA8 bytes: buffer pixel
// (0, 0) is image pixel (s.x, s.y); what the image does not cover is 0, 0, 0, 0. Nothing
// when the buffer cannot be allocated.
std::shared_ptr<std::vector<std::uint8_t>> CGImageGetData(const Bitmap& image, Rect s) {
  const int w = static_cast<int>(s.width);
  const int h = static_cast<int>(s.height);
  const int sx = static_cast<int>(s.x);
  const int sy = static_cast<int>(s.y);
  const auto bytes = rgbaByteCount(w, h);
  if (!bytes) return nullptr;
  std::shared_ptr<std::vector<std::uint8_t>> data;
  try {
    data = std::make_shared<std::vector<std::uint8_t>>(*bytes, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  const int rows = std::min(h, image.height - sy);
  const int columns = std::min(w, image.width - sx);
  for (int row = 0; row < rows && columns > 0; ++row) {
    premultiplyPixels(image.row(sy + row) + std::size_t(sx) * 4,
                      data->data() + std::size_t(row) * w * 4, std::size_t(columns));
  }
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
  const float iw = static_cast<float>(image.width);
  const float ih = static_cast<float>(image.height);
  const float dw = documentSize_.width;
  const float dh = documentSize_.height;
  Rect source{0, 0, iw, ih};
  Rect layer{offset.x, offset.y, iw, ih};
  if (iw + offset.x > dw) source.width = layer.width = dw - offset.x;
  if (ih + offset.y > dh) source.height = layer.height = dh - offset.y;
  if (offset.x < 0) {
    const float k = std::trunc(std::fabs(offset.x));
    source.x = k;
    source.width = layer.width = source.width - k;
    layer.x = 0;
  }
  if (offset.y < 0) {
    const float k = std::trunc(std::fabs(offset.y));
    source.y = k;
    source.height = layer.height = source.height - k;
    layer.y = 0;
  }

  PSDLayer added;
  added.name = name;
  added.opacity = opacity;
  // A layer must lie on the canvas; one that does not overlap it at all is kept empty.
  if (layer.width >= 1.0f && layer.height >= 1.0f) {
    added.rect = layer;
    added.imageData = CGImageGetData(image, source);
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
  const std::optional<Image> image = decodeImageFile(path);
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
