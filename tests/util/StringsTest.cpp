#include "util/Strings.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

TEST(Strings, LooksUpTheTableOfTheLanguageAndFallsBackToEnglishThenTheKey) {
  setStringsLanguage("en");
  EXPECT_EQ(localizedString("NO_IMAGE_FILE"), "There is no image file in the folder.");
  setStringsLanguage("ja");
  EXPECT_EQ(localizedString("SAVE_PROMPT"), "保存");
  setStringsLanguage("xx");
  EXPECT_EQ(localizedString("SAVE_PROMPT"), "Save");
  EXPECT_EQ(localizedString("NO_SUCH_KEY"), "NO_SUCH_KEY");
  setStringsLanguage("en");
}

TEST(Strings, LowerCasesAsciiLettersOnly) {
  EXPECT_EQ(lowerCased("AZaz@[`{09\xC3\x89"), "azaz@[`{09\xC3\x89");
}

TEST(Strings, EveryKeyHasAnEnglishAndAJapaneseText) {
  for (const char* key :
       {"OPEN_PROMPT", "SAVE_TITLE", "SAVE_PROMPT", "NO_IMAGE_FILE", "IMAGE_READ_ERROR",
        "OUTPUT_IS_SOURCE", "CLI_STOPPING", "CLI_INTERRUPTED", "CLI_STOPPED", "CLI_STOP_TOO_LATE",
        "CLI_WROTE_ONE", "CLI_WROTE", "CLI_BAR_FILE"}) {
    for (const char* language : {"en", "ja"}) {
      setStringsLanguage(language);
      EXPECT_NE(localizedString(key), key) << language << " " << key;
    }
  }
  setStringsLanguage("en");
}

}  // namespace
}  // namespace quillane
