#include "psd/LayerNames.h"

#include <iconv.h>

#include <bit>
#include <memory>

namespace quillane {
namespace {

// The byte name holds at most 255 bytes: its length is one byte.
constexpr std::size_t kMaxPascalNameBytes = 255;
// Padding of the byte name block, length byte included.
constexpr std::size_t kPascalBlockAlignment = 4;
constexpr char kDefaultLayerName[] = "Layer";
constexpr char16_t kReplacementCharacter = 0xFFFD;

struct IconvCloser {
  void operator()(void* descriptor) const { iconv_close(static_cast<iconv_t>(descriptor)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// Shift-JIS as Windows code page 932: plain ASCII, backslash and tilde included, maps to
// itself.
class ShiftJisConverter {
 public:
  ShiftJisConverter() {
    const char* from = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
    iconv_t descriptor = iconv_open("CP932", from);
    if (descriptor != reinterpret_cast<iconv_t>(-1)) handle_.reset(descriptor);
  }

  std::optional<std::string> convert(const std::u16string& text) {
    if (!handle_) return std::nullopt;
    auto* descriptor = static_cast<iconv_t>(handle_.get());
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    // CP932 takes at most two bytes per UTF-16 code unit.
    std::string out(text.size() * 2, '\0');
    auto* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
    std::size_t inLeft = text.size() * sizeof(char16_t);
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(descriptor, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  IconvHandle handle_;
};

// Length of the UTF-8 sequence led by byte, 0 when it cannot lead one.
int sequenceLength(unsigned char byte) {
  if (byte < 0x80) return 1;
  if (byte >= 0xC2 && byte <= 0xDF) return 2;
  if (byte >= 0xE0 && byte <= 0xEF) return 3;
  if (byte >= 0xF0 && byte <= 0xF4) return 4;
  return 0;
}

// The code point of the sequence of length at text[pos], or nothing when it is not valid
// (truncated, overlong, a surrogate or beyond U+10FFFF).
std::optional<char32_t> decodeSequence(std::string_view text, std::size_t pos, int length) {
  if (pos + length > text.size()) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[pos]);
  char32_t point = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if ((byte & 0xC0) != 0x80) return std::nullopt;
    point = (point << 6) | (byte & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (point < kSmallest[length] || point > 0x10FFFF) return std::nullopt;
  if (point >= 0xD800 && point <= 0xDFFF) return std::nullopt;
  return point;
}

void appendUtf16(std::u16string& out, char32_t point) {
  if (point < 0x10000) {
    out.push_back(static_cast<char16_t>(point));
  } else {
    point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
  }
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const int length = sequenceLength(static_cast<unsigned char>(text[pos]));
    const auto point = length > 0 ? decodeSequence(text, pos, length) : std::nullopt;
    if (point) {
      appendUtf16(out, *point);
      pos += static_cast<std::size_t>(length);
    } else {
      out.push_back(kReplacementCharacter);
      ++pos;
    }
  }
  return out;
}

std::optional<std::string> shiftJisFromUtf16(const std::u16string& text) {
  return ShiftJisConverter().convert(text);
}

std::string truncateTo255Bytes(const std::u16string& name) {
  ShiftJisConverter converter;
  std::u16string copy = name;
  for (;;) {
    // A prefix that no longer converts (a split surrogate pair) is shortened further.
    if (const auto bytes = converter.convert(copy); bytes && bytes->size() <= kMaxPascalNameBytes) {
      return *bytes;
    }
    if (copy.empty()) return {};
    copy.pop_back();
  }
}

ByteBuffer createPascalLayerName(const std::string& name) {
  const std::u16string unicode = utf16FromUtf8(name);
  std::string bytes = shiftJisFromUtf16(unicode).value_or(kDefaultLayerName);
  if (bytes.size() > kMaxPascalNameBytes) bytes = truncateTo255Bytes(unicode);
  if (bytes.empty()) bytes = kDefaultLayerName;

  ByteBuffer block;
  block.reserve(1 + bytes.size() + kPascalBlockAlignment);
  block.push_back(static_cast<std::uint8_t>(bytes.size()));
  block.insert(block.end(), bytes.begin(), bytes.end());
  while (block.size() % kPascalBlockAlignment != 0) block.push_back(0);
  return block;
}

ByteBuffer createUnicodeLayerName(const std::string& name) {
  const std::u16string unicode = utf16FromUtf8(name);
  ByteBuffer block{'8', 'B', 'I', 'M', 'l', 'u', 'n', 'i'};
  block.reserve(16 + 2 * unicode.size());
  appendValue(block, 4 + 2 * static_cast<std::int64_t>(unicode.size()), 4);
  appendValue(block, static_cast<std::int64_t>(unicode.size()), 4);
  for (const char16_t unit : unicode) appendValue(block, unit, 2);
  return block;
}

ByteBuffer createLayerName(const std::string& name) {
  ByteBuffer blocks = createPascalLayerName(name);
  const ByteBuffer unicode = createUnicodeLayerName(name);
  blocks.insert(blocks.end(), unicode.begin(), unicode.end());
  return blocks;
}

}  // namespace quillane
