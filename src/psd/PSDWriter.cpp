#include "psd/PSDWriter.h"

#include "util/Exception.h"

namespace quillane {

PSDWriter::PSDWriter() = default;
PSDWriter::PSDWriter(Size documentSize) : documentSize_(documentSize) {}
PSDWriter::~PSDWriter() { removeAllLayers(); }

void PSDWriter::addLayerWithCGImage(const Bitmap&, const std::string&, float, Point) {}
void PSDWriter::addLayerWithImage(const Image&, const std::string&, float, Point) {}
void PSDWriter::addLayerWithUrl(const std::string&, const std::string&, float, Point) {}

void PSDWriter::removeAllLayers() {
  flattenedContext_.reset();
  layers_.reset();
  flattenedData_.reset();
}

ByteBuffer PSDWriter::createPSDData() { return {}; }
void PSDWriter::preprocess() {}
ByteBuffer PSDWriter::resolutionInfo() { return {}; }
ByteBuffer PSDWriter::signature8BIM() { return {'8', 'B', 'I', 'M'}; }
ByteBuffer PSDWriter::createProtectedSetting() { return {}; }
ByteBuffer PSDWriter::createExtraData() const { return {}; }
ByteBuffer PSDWriter::createLayerName() const { return {}; }
ByteBuffer PSDWriter::createPascalLayerName() const { return {}; }
ByteBuffer PSDWriter::createUnicodeLayerName() const { return {}; }
std::string PSDWriter::trancate255(const std::u16string&) { return {}; }
void PSDWriter::dump(const std::uint8_t*, std::size_t) {}

}  // namespace quillane
