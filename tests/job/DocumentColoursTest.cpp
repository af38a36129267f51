// The document's colour space as the first file names it: a BMP version-5 file embeds its
// profile, made with Little CMS.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdint>
#include <string>
#include <vector>

#include "job/Job.h"
#include "support/ProfileBytes.h"
#include "support/TempFolder.h"

namespace quillane {
namespace {

using testsupport::bmpWithProfile;
using testsupport::Bytes;
using testsupport::saved;
using testsupport::wideProfile;

TEST(DocumentColours, TheFirstFileNamesTheProfileTheDocumentTakesAndSrgbNamesNone) {
  testsupport::TempFolder folder;
  const struct {
    const char* name;
    Bytes profile;
    std::string taken;
  } cases[] = {
      {"wide.bmp", wideProfile("Test wide RGB"), "Test wide RGB"},
      {"srgb.bmp", saved(cmsCreate_sRGBProfile()), ""},
      {"broken.bmp", Bytes(300, 7), ""},
  };
  for (const auto& c : cases) {
    folder.write(c.name, bmpWithProfile(c.profile));
    const FirstImage first = measureFirstImage(folder.file(c.name), false);
    EXPECT_EQ(first.canvas, (Size{2, 1})) << c.name;
    EXPECT_EQ(first.colourProfile, c.taken) << c.name;
  }
}

}  // namespace
}  // namespace quillane
