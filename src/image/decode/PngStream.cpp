// TEMPORARY development stub: decodes whole, serves rows.
#include "image/decode/PngStream.h"

#include <cstring>
#include <fstream>

namespace quillane {
namespace {
class WholeStream final : public PngRowStream {
 public:
  explicit WholeStream(DecodedImage image) : image_(std::move(image)) {
    header_.resolution = image_.resolution;
    header_.iccProfile = image_.iccProfile;
  }
  int width() const override { return image_.bitmap.width; }
  int height() const override { return image_.bitmap.height; }
  bool knownOpaque() const override { return image_.bitmap.knownOpaque; }
  const DecodedImage& header() const override { return header_; }
  std::optional<DecodeError> readRows(std::uint8_t* out, int count) override {
    std::memcpy(out, image_.bitmap.row(top_), image_.bitmap.rowBytes() * std::size_t(count));
    top_ += count;
    return std::nullopt;
  }

 private:
  DecodedImage image_;
  DecodedImage header_;
  int top_ = 0;
};
}  // namespace

std::unique_ptr<PngRowStream> PngRowStream::open(const std::string& path,
                                                 const DecodeRequest& request) {
  unsigned char sig[33] = {};
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(sig), 33);
  if (std::memcmp(sig, "\x89PNG", 4) != 0) return nullptr;
  if (sig[24] != 8 || (sig[25] != 6 && sig[25] != 2) || sig[28] != 0) return nullptr;
  auto image = decodeSourceFile(path, request);
  if (!image) return nullptr;
  return std::make_unique<WholeStream>(std::move(*image));
}
}  // namespace quillane
