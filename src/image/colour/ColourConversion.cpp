#include "image/colour/ColourConversion.h"

#include <lcms2.h>

#include <algorithm>
#include <array>

namespace quillane {
namespace {

constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA;

std::shared_ptr<void> transformBetween(const ColourProfile& from, cmsUInt32Number fromFormat,
                                       const ColourProfile& into, cmsUInt32Number intoFormat,
                                       cmsUInt32Number flags = kFlags) {
  cmsHTRANSFORM transform = cmsCreateTransform(from.handle(), fromFormat, into.handle(), intoFormat,
                                               INTENT_RELATIVE_COLORIMETRIC, flags);
  if (transform == nullptr) return nullptr;
  return std::shared_ptr<void>(transform, [](void* t) { cmsDeleteTransform(t); });
}

}  // namespace

std::optional<ColourConversion> ColourConversion::between(const ColourProfile& from,
                                                          const ColourProfile& into,
                                                          bool invertedCmyk) {
  if (into.data() != ColourProfile::Data::Rgb) return std::nullopt;
  switch (from.data()) {
    case ColourProfile::Data::Rgb: {
      if (auto shaper = MatrixShaper::between(from, into)) {
        ColourConversion conversion(nullptr, {});
        conversion.matrixShaper_ = std::make_shared<const MatrixShaper>(std::move(*shaper));
        return conversion;
      }
      auto transform = transformBetween(from, TYPE_RGBA_8, into, TYPE_RGBA_8);
      if (!transform) return std::nullopt;
      return ColourConversion(std::move(transform), {});
    }
    case ColourProfile::Data::Grey: {
      const auto transform = transformBetween(from, TYPE_GRAY_8, into, TYPE_RGB_8);
      if (!transform) return std::nullopt;
      std::array<std::uint8_t, 256> levels{};
      for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<std::uint8_t>(i);
      std::vector<std::uint8_t> greys(levels.size() * 3);
      cmsDoTransform(transform.get(), levels.data(), greys.data(), levels.size());
      return ColourConversion(nullptr, std::move(greys));
    }
    case ColourProfile::Data::Cmyk: {
      // Alpha is not copied (CMYK has none): convertCmykRow sets it.
      auto transform = transformBetween(from, invertedCmyk ? TYPE_CMYK_8_REV : TYPE_CMYK_8, into,
                                        TYPE_RGBA_8, cmsFLAGS_BLACKPOINTCOMPENSATION);
      if (!transform) return std::nullopt;
      return ColourConversion(std::move(transform), {});
    }
  }
  return std::nullopt;
}

void ColourConversion::convert(Bitmap& bitmap) const {
  if (matrixShaper_) {
    matrixShaper_->convert(bitmap);
    return;
  }
  for (int y = 0; y < bitmap.height; ++y) {
    std::uint8_t* row = bitmap.row(y);
    if (!greys_.empty()) {
      for (int x = 0; x < bitmap.width; ++x) {
        std::uint8_t* pixel = row + 4 * x;
        const std::uint8_t* rgb = greys_.data() + 3 * pixel[0];
        if (pixel[3] != 0) std::copy_n(rgb, 3, pixel);
      }
      continue;
    }
    cmsDoTransform(transform_.get(), row, row, static_cast<cmsUInt32Number>(bitmap.width));
    if (bitmap.knownOpaque) continue;  // no pixel to clear
    for (int x = 0; x < bitmap.width; ++x) {
      std::uint8_t* pixel = row + 4 * x;
      if (pixel[3] == 0) pixel[0] = pixel[1] = pixel[2] = 0;
    }
  }
}

void ColourConversion::convertCmykRow(const std::uint8_t* cmyk, std::uint8_t* rgba,
                                      int width) const {
  cmsDoTransform(transform_.get(), cmyk, rgba, static_cast<cmsUInt32Number>(width));
  for (int x = 0; x < width; ++x) rgba[4 * x + 3] = 255;
}

}  // namespace quillane
