#include "image/colour/ColourProfile.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "util/Log.h"

namespace quillane {
namespace {

// Profiles above this are refused unread: real ones are a few kilobytes, rarely a megabyte.
constexpr std::size_t kMaxProfileBytes = 16 << 20;

std::shared_ptr<void> owned(cmsHPROFILE profile) {
  return std::shared_ptr<void>(profile, [](void* p) {
    if (p != nullptr) cmsCloseProfile(p);
  });
}

// Signatures are compared as the numbers the file holds: any value may come out of a file,
// not only those the enumerations of Little CMS name.
constexpr std::uint32_t signature(auto value) { return static_cast<std::uint32_t>(value); }

bool convertible(std::uint32_t kind) {
  for (const auto known :
       {cmsSigInputClass, cmsSigDisplayClass, cmsSigOutputClass, cmsSigColorSpaceClass}) {
    if (kind == signature(known)) return true;
  }
  return false;
}

std::optional<ColourProfile::Data> dataOf(std::uint32_t space) {
  switch (space) {
    case signature(cmsSigRgbData):
      return ColourProfile::Data::Rgb;
    case signature(cmsSigGrayData):
      return ColourProfile::Data::Grey;
    case signature(cmsSigCmykData):
      return ColourProfile::Data::Cmyk;
    default:
      return std::nullopt;
  }
}

// Whether an RGB profile maps a 6 x 6 x 6 grid of colours onto sRGB within one step.
bool convertsAsSrgb(cmsHPROFILE profile) {
  const auto srgb = owned(cmsCreate_sRGBProfile());
  cmsHTRANSFORM transform = cmsCreateTransform(profile, TYPE_RGB_8, srgb.get(), TYPE_RGB_8,
                                               INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
  if (transform == nullptr) return false;
  std::array<std::uint8_t, 6 * 6 * 6 * 3> grid{}, out{};
  for (std::size_t i = 0; i < grid.size(); ++i) {
    const std::size_t colour = i / 3, channel = i % 3;
    const std::size_t step = channel == 0   ? colour / 36
                             : channel == 1 ? colour / 6 % 6
                                            : colour % 6;
    grid[i] = static_cast<std::uint8_t>(step * 51);
  }
  cmsDoTransform(transform, grid.data(), out.data(), grid.size() / 3);
  cmsDeleteTransform(transform);
  return std::equal(grid.begin(), grid.end(), out.begin(),
                    [](std::uint8_t a, std::uint8_t b) { return std::abs(a - b) <= 1; });
}

}  // namespace

ColourProfile::ColourProfile(std::shared_ptr<void> handle, Data data,
                             std::vector<std::uint8_t> bytes)
    : handle_(std::move(handle)), data_(data), bytes_(std::move(bytes)) {
  srgb_ = data_ == Data::Rgb && convertsAsSrgb(handle_.get());
}

std::optional<ColourProfile> ColourProfile::read(std::span<const std::uint8_t> bytes) {
  if (bytes.empty() || bytes.size() > kMaxProfileBytes) {
    logLine("colour profile ignored: %zu bytes", bytes.size());
    return std::nullopt;
  }
  auto handle =
      owned(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size())));
  if (handle == nullptr) {
    logLine("colour profile ignored: not a profile Little CMS reads");
    return std::nullopt;
  }
  // Cast where they come out: never held in an enumeration's type.
  const auto data = dataOf(static_cast<std::uint32_t>(cmsGetColorSpace(handle.get())));
  if (!convertible(static_cast<std::uint32_t>(cmsGetDeviceClass(handle.get()))) || !data) {
    logLine("colour profile ignored: not of RGB, grey or CMYK pixels");
    return std::nullopt;
  }
  // A profile whose tables cannot be read fails here rather than halfway through an image.
  if (!cmsIsIntentSupported(handle.get(), INTENT_RELATIVE_COLORIMETRIC, LCMS_USED_AS_INPUT)) {
    logLine("colour profile ignored: it cannot convert colours");
    return std::nullopt;
  }
  return ColourProfile(std::move(handle), *data, {bytes.begin(), bytes.end()});
}

ColourProfile ColourProfile::srgb() {
  return ColourProfile(owned(cmsCreate_sRGBProfile()), Data::Rgb, {});
}

std::string ColourProfile::description() const {
  std::array<char, 256> text{};
  const cmsUInt32Number length = cmsGetProfileInfoASCII(handle_.get(), cmsInfoDescription, "en",
                                                        "US", text.data(), text.size());
  return length == 0 ? std::string() : std::string(text.data());
}

}  // namespace quillane
