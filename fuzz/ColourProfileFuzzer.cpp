// Feeds arbitrary bytes to the colour profile reader as an image's embedded profile, and
// converts a few pixels through whatever it accepts, both ways where it can, at 8 bits and at
// 16 (as a 16-bit source's profile, and as the document's).
#include <cstddef>
#include <cstdint>
#include <span>

#include "image/colour/ColourConversion.h"
#include "image/colour/ColourProfile.h"
#include "image/colour/DeepConversion.h"
#include "image/decode/SizeCheck.h"

namespace {

void convertSome(const quillane::ColourConversion& conversion) {
  auto bitmap = quillane::createBitmap(16, 2, quillane::BitmapFill::Zeroes);
  if (!bitmap) return;
  for (std::size_t i = 0; i < bitmap->pixels.size(); ++i)
    bitmap->pixels[i] = static_cast<std::uint8_t>(i * 37);
  conversion.convert(*bitmap);
}

void convertSomeDeep(std::span<const std::uint8_t> document, std::span<const std::uint8_t> source) {
  const auto conversion = quillane::DeepConversion::into(document, source, true);
  if (!conversion) return;
  std::uint16_t row[16 * 4];
  for (std::size_t i = 0; i < std::size(row); ++i) row[i] = static_cast<std::uint16_t>(i * 4099);
  conversion->convert(row, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using quillane::ColourConversion;
  using quillane::ColourProfile;
  const std::span<const std::uint8_t> bytes(data, size);
  convertSomeDeep({}, bytes);
  convertSomeDeep(bytes, {});
  const auto profile = ColourProfile::read(bytes);
  if (!profile) return 0;
  (void)profile->isSrgb();
  (void)profile->description();
  const ColourProfile srgb = ColourProfile::srgb();
  if (profile->data() == ColourProfile::Data::Cmyk) {
    if (const auto cmyk = ColourConversion::between(*profile, srgb, true)) {
      std::uint8_t in[16 * 4] = {}, out[16 * 4] = {};
      for (std::size_t i = 0; i < sizeof in; ++i) in[i] = static_cast<std::uint8_t>(i * 53);
      cmyk->convertCmykRow(in, out, 16);
    }
    return 0;
  }
  if (const auto from = ColourConversion::between(*profile, srgb)) convertSome(*from);
  if (profile->data() == ColourProfile::Data::Rgb) {
    if (const auto into = ColourConversion::between(srgb, *profile)) convertSome(*into);
  }
  return 0;
}
