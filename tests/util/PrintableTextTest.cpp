#include "util/PrintableText.h"

#include <gtest/gtest.h>

namespace quillane {
namespace {

TEST(PrintableText, EscapesControlsAndInvalidBytesKeepingValidText) {
  const std::pair<std::string, std::string> cases[] = {
      {"a b.png 写真 ① \U0001F600\u00e9\u00a0", "a b.png 写真 ① \U0001F600\u00e9\u00a0"},
      {"\x1b]0;x\a.png", "\\x1b]0;x\\x07.png"},
      {std::string("a\0\nb\x1f\x7f", 6), "a\\x00\\x0ab\\x1f\\x7f"},
      {"\xc2\x9b[2J", "\\xc2\\x9b[2J"},              // C1 CSI
      {"\xff\xfe", "\\xff\\xfe"},                    // never UTF-8
      {"\xe5\x86", "\\xe5\\x86"},                    // cut short
      {"\xe5x", "\\xe5x"},                           // a lead byte without its tail
      {"\xc0\xaf", "\\xc0\\xaf"},                    // overlong
      {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},           // overlong
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},           // a surrogate
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // past U+10FFFF
      {"\xf0\x8f\xbf\xbf", "\\xf0\\x8f\\xbf\\xbf"},  // overlong
      {"\xef\xbf\xbf\xf4\x8f\xbf\xbf", "\xef\xbf\xbf\xf4\x8f\xbf\xbf"},
  };
  for (const auto& [text, printable] : cases) EXPECT_EQ(printableText(text), printable) << text;
}

}  // namespace
}  // namespace quillane
