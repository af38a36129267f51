#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "psd/LayerNames.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct NameBlocks {
  Bytes pascal;
  Bytes unicode;
  Bytes joined;
};

NameBlocks blocksFor(const std::string& name) {
  return {createPascalLayerName(name), createUnicodeLayerName(name), createLayerName(name)};
}

Bytes unicodeBlock(const std::u16string& units) {
  Bytes block = bytesOf("8BIMluni");
  const std::uint32_t dataLength = 4 + 2 * std::uint32_t(units.size());
  for (int shift = 24; shift >= 0; shift -= 8) block.push_back(std::uint8_t(dataLength >> shift));
  for (int shift = 24; shift >= 0; shift -= 8) block.push_back(std::uint8_t(units.size() >> shift));
  for (const char16_t unit : units) {
    block.push_back(std::uint8_t(unit >> 8));
    block.push_back(std::uint8_t(unit));
  }
  return block;
}

std::string repeated(const std::string& piece, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += piece;
  return out;
}

TEST(LayerNames, BuildsTheByteAndUnicodeBlocks) {
  const struct {
    std::string name;
    Bytes pascal;
    std::u16string unicode;
  } cases[] = {
      {"A", {0x01, 0x41, 0, 0}, u"A"},
      {"abc", {0x03, 'a', 'b', 'c'}, u"abc"},
      {"abcd", {0x04, 'a', 'b', 'c', 'd', 0, 0, 0}, u"abcd"},
      {"", {0x05, 'L', 'a', 'y', 'e', 'r', 0, 0}, u""},
      {"画像.png",
       {0x08, 0x89, 0xE6, 0x91, 0x9C, 0x2E, 0x70, 0x6E, 0x67, 0, 0, 0},
       u"\u753B\u50CF.png"},
      // No Shift-JIS form: the byte name falls back, the Unicode name stays whole.
      {"café.jpg", {0x05, 'L', 'a', 'y', 'e', 'r', 0, 0}, u"caf\u00E9.jpg"},
      // Backslash and tilde are themselves in CP932.
      {"a\\~", {0x03, 'a', '\\', '~'}, u"a\\~"},
      // Bytes that are not UTF-8 read as U+FFFD, which has no Shift-JIS form.
      {"x\xFFy", {0x05, 'L', 'a', 'y', 'e', 'r', 0, 0}, u"x\uFFFDy"},
      // Beyond the basic plane: a surrogate pair. An overlong form (of U+FFFF) and an encoded
      // surrogate are not UTF-8: a replacement for each byte.
      {"\xF0\x9F\x98\x80", {0x05, 'L', 'a', 'y', 'e', 'r', 0, 0}, u"\U0001F600"},
      {"\xF0\x8F\xBF\xBF", {0x05, 'L', 'a', 'y', 'e', 'r', 0, 0}, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xED\xA0\x80", {0x05, 'L', 'a', 'y', 'e', 'r', 0, 0}, u"\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) {
    const NameBlocks blocks = blocksFor(c.name);
    EXPECT_EQ(blocks.pascal, c.pascal) << c.name;
    EXPECT_EQ(blocks.unicode, unicodeBlock(c.unicode)) << c.name;
    Bytes joined = c.pascal;
    const Bytes unicode = unicodeBlock(c.unicode);
    joined.insert(joined.end(), unicode.begin(), unicode.end());
    EXPECT_EQ(blocks.joined, joined) << c.name;
  }
}

TEST(LayerNames, ShortensLongByteNamesToWholeCharacters) {
  // 200 double-byte characters: 127 of them (254 bytes), one pad byte.
  const NameBlocks kanji = blocksFor(repeated("画", 200));
  ASSERT_EQ(kanji.pascal.size(), 256u);
  EXPECT_EQ(kanji.pascal[0], 254);
  EXPECT_EQ(kanji.pascal[1], 0x89);
  EXPECT_EQ(kanji.pascal[2], 0xE6);
  EXPECT_EQ(kanji.pascal[255], 0);
  EXPECT_EQ(kanji.unicode.size(), 16u + 400u);

  const NameBlocks ascii = blocksFor(std::string(300, 'x'));
  ASSERT_EQ(ascii.pascal.size(), 256u);
  EXPECT_EQ(ascii.pascal[0], 255);
  EXPECT_EQ(ascii.unicode.size(), 16u + 600u);

  // Exactly 255 bytes (127 double-byte characters and one letter) are kept as they are.
  const NameBlocks exact = blocksFor(repeated("画", 127) + "x");
  ASSERT_EQ(exact.pascal.size(), 256u);
  EXPECT_EQ(exact.pascal[0], 255);
  EXPECT_EQ(exact.pascal[255], 'x');

  EXPECT_EQ(truncateTo255Bytes(std::u16string(300, u'y')), std::string(255, 'y'));
}

}  // namespace
}  // namespace quillane
