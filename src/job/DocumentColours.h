#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "image/colour/ColourConversion.h"
#include "image/colour/ColourProfile.h"
#include "image/decode/Decode.h"

namespace quillane {

// The colour space of a document, the first image's, and the conversion of every layer into
// it. The document takes the first image's profile when it is an RGB profile other than
// sRGB; else it is sRGB and embeds nothing. Untagged images count as sRGB; a profile that
// cannot be used (unreadable, of CMYK, or grey on a colour image) is ignored, with a log line.
class DocumentColours {
 public:
  // first: the first file's image, or nothing when it is decoded in its turn (a PICT file,
  // which carries no profile).
  DocumentColours(const DecodedImage* first, const std::string& firstFile);

  // The profile the document embeds, as the first file stores it; empty for sRGB.
  const std::vector<std::uint8_t>& embeddedProfile() const { return embedded_; }
  // The embedded profile's description ("ICC" when it has none); "" for sRGB.
  std::string profileName() const;

  // Converts the image's pixels into the document's colours, in place, when its own differ.
  void match(DecodedImage& image, const std::string& file);
  // What converts the pixels of a colour image with this profile (empty: untagged): match's
  // for a whole image, a streamed layer's for each band; nothing when they stay as stored.
  // Logged once per image.
  // The image must not carry a grey profile (isGreyProfile), which only the whole image
  // can be checked against.
  const ColourConversion* conversionOf(const std::vector<std::uint8_t>& profile,
                                       const std::string& file);
  bool isGreyProfile(const std::vector<std::uint8_t>& profile, const std::string& file) {
    return !isDocumentProfile(profile) && sourceOf(profile, file).data == ColourProfile::Data::Grey;
  }
  // Whether match converts an image with this profile (empty: untagged). A grey profile counts
  // as converting, though match takes a colour image that carries one as sRGB.
  bool converts(const std::vector<std::uint8_t>& profile, const std::string& file);

 private:
  struct Source {
    ColourProfile::Data data = ColourProfile::Data::Rgb;
    // Nothing when none is needed or none can be had.
    std::optional<ColourConversion> conversion;
  };
  // Whether the profile is the document's own, whose pixels stay as they are.
  bool isDocumentProfile(const std::vector<std::uint8_t>& profile) const {
    return !embedded_.empty() && profile == embedded_;
  }
  // What converts an image with this profile (empty: untagged), read once.
  const Source& sourceOf(const std::vector<std::uint8_t>& profile, const std::string& file);

  ColourProfile document_ = ColourProfile::srgb();
  std::vector<std::uint8_t> embedded_;
  // The conversions of the profiles met so far; folders often hold one profile many times.
  std::map<std::vector<std::uint8_t>, Source> sources_;
};

}  // namespace quillane
