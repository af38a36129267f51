#include "job/ErrorText.h"

#include <gtest/gtest.h>

#include "util/Strings.h"

namespace quillane {
namespace {

ErrorText describeIn(const char* language, const Error& error) {
  setStringsLanguage(language);
  ErrorText text = describeError(error);
  setStringsLanguage("en");
  return text;
}

// Every kind has a message in both tables: a missing Japanese text would fall back to the
// English one, and a missing key would show as the key itself.
TEST(ErrorText, EveryKindHasAMessageInEnglishAndJapanese) {
  for (const ErrorKind kind : kEveryErrorKind) {
    SCOPED_TRACE(errorKindName(kind));
    Error error(kind, "/src/a.png");
    error.width = 40000;
    error.height = 30;
    error.limit = 30000;
    const ErrorText english = describeIn("en", error);
    const ErrorText japanese = describeIn("ja", error);
    EXPECT_FALSE(english.message.empty());
    EXPECT_FALSE(japanese.message.empty());
    EXPECT_NE(english.message, japanese.message);
    EXPECT_NE(english.message.find(' '), std::string::npos) << "a sentence, not a key";
  }
}

TEST(ErrorText, AMemoryLimitNamesTheSizeAndBothAmountsInMegabytes) {
  Error error(ErrorKind::ImageOutOfMemory, "/src/a.png");
  error.width = 10000;
  error.height = 2501;
  error.limit = 64'000'000;
  EXPECT_EQ(describeIn("en", error).detail,
            "/src/a.png: 10000 × 2501 pixels take 101 MB, more than the 64 MB one image may use");
  error.limit = 0;  // memory that ran out within the budget has no limit to name
  EXPECT_EQ(describeIn("en", error).detail, "/src/a.png");
}

}  // namespace
}  // namespace quillane
