#include "job/DocumentColours.h"

#include "util/Log.h"
#include "util/PathNames.h"

namespace quillane {
namespace {

std::string nameOf(const std::string& file) { return std::string(lastPathComponent(file)); }

// Whether every pixel's red, green and blue are equal: what a grey profile can describe.
bool isGrey(const Bitmap& bitmap) {
  for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) {
    const std::uint8_t* p = bitmap.pixels.data() + i;
    if (p[0] != p[1] || p[1] != p[2]) return false;
  }
  return true;
}

}  // namespace

DocumentColours::DocumentColours(const DecodedImage* first, const std::string& firstFile) {
  if (first == nullptr || first->iccProfile.empty()) return;
  auto profile = ColourProfile::read(first->iccProfile);
  if (!profile || profile->data() != ColourProfile::Data::Rgb || profile->isSrgb()) return;
  logLine("colour: the document takes the %s profile of %s", profile->description().c_str(),
          nameOf(firstFile).c_str());
  document_ = std::move(*profile);
  embedded_ = first->iccProfile;
}

std::string DocumentColours::profileName() const {
  if (embedded_.empty()) return {};
  const std::string description = document_.description();
  return description.empty() ? "ICC" : description;
}

void DocumentColours::match(DecodedImage& image, const std::string& file) {
  if (image.inDocumentColours) {
    logLine("colour: %s converted into the document's colours at 16 bits", nameOf(file).c_str());
    return;
  }
  static const std::vector<std::uint8_t> untagged;
  const std::vector<std::uint8_t>* profile = &image.iccProfile;
  if (isGreyProfile(*profile, file) && !isGrey(image.bitmap)) {
    logLine("colour: %s has colours its grey profile cannot describe; they count as sRGB",
            nameOf(file).c_str());
    profile = &untagged;
  }
  if (const ColourConversion* conversion = conversionOf(*profile, file))
    conversion->convert(image.bitmap);
}

const ColourConversion* DocumentColours::conversionOf(const std::vector<std::uint8_t>& profile,
                                                      const std::string& file) {
  if (isDocumentProfile(profile)) return nullptr;
  const Source& source = sourceOf(profile, file);
  if (!source.conversion) return nullptr;
  logLine("colour: %s converted into the document's colours", nameOf(file).c_str());
  return &*source.conversion;
}

bool DocumentColours::converts(const std::vector<std::uint8_t>& profile, const std::string& file) {
  return !isDocumentProfile(profile) && sourceOf(profile, file).conversion.has_value();
}

const DocumentColours::Source& DocumentColours::sourceOf(const std::vector<std::uint8_t>& bytes,
                                                         const std::string& file) {
  const auto known = sources_.find(bytes);
  if (known != sources_.end()) return known->second;

  std::optional<ColourProfile> profile = ColourProfile::srgb();
  if (!bytes.empty()) {
    profile = ColourProfile::read(bytes);
    if (!profile || profile->data() == ColourProfile::Data::Cmyk) {
      logLine("colour: the profile of %s is ignored; its pixels count as sRGB",
              nameOf(file).c_str());
      profile = ColourProfile::srgb();
    }
  }
  Source source{profile->data(), std::nullopt};
  if (!(profile->isSrgb() && document_.isSrgb())) {
    source.conversion = ColourConversion::between(*profile, document_);
    if (!source.conversion)
      logLine("colour: %s cannot be converted; its pixels are kept as stored",
              nameOf(file).c_str());
  }
  return sources_.emplace(bytes, std::move(source)).first->second;
}

}  // namespace quillane
