#include "image/colour/DeepConversion.h"

#include <lcms2.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "image/colour/ColourProfile.h"
#include "image/colour/MatrixShaper.h"

namespace quillane {
namespace {

// A grey profile reads the red sample of each RGBA pixel (red, green and blue are equal) and
// skips the other three; the output writes red, green and blue and leaves alpha as it is.
constexpr cmsUInt32Number kGreyOfRgba16 =
    COLORSPACE_SH(PT_GRAY) | EXTRA_SH(3) | CHANNELS_SH(1) | BYTES_SH(2);

std::optional<ColourProfile> profileOf(std::span<const std::uint8_t> bytes) {
  return bytes.empty() ? ColourProfile::srgb() : ColourProfile::read(bytes);
}

// The tables between the last pair of matrix-shaper profiles, for the next decode with the
// same pair (a folder's files mostly share one profile): read-only, so decodes running at once
// share them.
class ShaperCache {
 public:
  std::shared_ptr<const DeepMatrixShaper> find(std::span<const std::uint8_t> document,
                                               std::span<const std::uint8_t> source) {
    const std::lock_guard lock(mutex_);
    if (!std::equal(document.begin(), document.end(), document_.begin(), document_.end()) ||
        !std::equal(source.begin(), source.end(), source_.begin(), source_.end()))
      return nullptr;
    return shaper_;
  }

  void keep(std::span<const std::uint8_t> document, std::span<const std::uint8_t> source,
            std::shared_ptr<const DeepMatrixShaper> shaper) {
    const std::lock_guard lock(mutex_);
    document_.assign(document.begin(), document.end());
    source_.assign(source.begin(), source.end());
    shaper_ = std::move(shaper);
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint8_t> document_, source_;
  std::shared_ptr<const DeepMatrixShaper> shaper_;
};

ShaperCache& shaperCache() {
  static ShaperCache cache;
  return cache;
}

}  // namespace

std::optional<DeepConversion> DeepConversion::into(std::span<const std::uint8_t> document,
                                                   std::span<const std::uint8_t> source,
                                                   bool greyImage) {
  if (std::equal(source.begin(), source.end(), document.begin(), document.end()))
    return std::nullopt;
  // A pair that had tables needs no other check: the source's profile is RGB.
  if (auto shaper = shaperCache().find(document, source))
    return DeepConversion(nullptr, std::move(shaper));
  const auto from = profileOf(source);
  if (!from || from->data() == ColourProfile::Data::Cmyk) return std::nullopt;
  const bool grey = from->data() == ColourProfile::Data::Grey;
  if (grey && !greyImage) return std::nullopt;
  const auto to = profileOf(document);
  if (!to || to->data() != ColourProfile::Data::Rgb || (from->isSrgb() && to->isSrgb()))
    return std::nullopt;
  if (!grey) {
    if (auto built = DeepMatrixShaper::between(*from, *to)) {
      auto shaper = std::make_shared<const DeepMatrixShaper>(std::move(*built));
      shaperCache().keep(document, source, shaper);
      return DeepConversion(nullptr, std::move(shaper));
    }
  }
  // In place, alpha copied onto itself; from grey it is left alone as the output skips it.
  const cmsUInt32Number flags = cmsFLAGS_BLACKPOINTCOMPENSATION | (grey ? 0 : cmsFLAGS_COPY_ALPHA);
  cmsHTRANSFORM transform =
      cmsCreateTransform(from->handle(), grey ? kGreyOfRgba16 : TYPE_RGBA_16, to->handle(),
                         TYPE_RGBA_16, INTENT_RELATIVE_COLORIMETRIC, flags);
  if (transform == nullptr) return std::nullopt;
  return DeepConversion(std::shared_ptr<void>(transform, [](void* t) { cmsDeleteTransform(t); }),
                        nullptr);
}

void DeepConversion::convert(std::uint16_t* rgba, int width) const {
  if (shaper_) {
    shaper_->convert(rgba, width);
    return;
  }
  cmsDoTransform(transform_.get(), rgba, rgba, static_cast<cmsUInt32Number>(width));
  for (int x = 0; x < width; ++x, rgba += 4) {
    if (rgba[3] == 0) rgba[0] = rgba[1] = rgba[2] = 0;
  }
}

}  // namespace quillane
