#pragma once

// PNG files made by hand: unfiltered rows in stored (uncompressed) deflate blocks, spread over
// small IDAT chunks, so that a decoder meets many chunk and block boundaries.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quillane::testsupport {

struct Rgba {
  std::uint8_t r, g, b, a;
};

inline std::uint32_t pngCrc(const std::string& bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (const char byte : bytes) c = table[(c ^ std::uint8_t(byte)) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// An 8-bit RGB (alpha false) or RGBA PNG of width x height whose pixel (x, y) is colour(x, y).
inline std::string pngBytes(int width, int height, bool alpha,
                            const std::function<Rgba(int, int)>& colour) {
  const auto big = [](std::uint32_t v) {
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  };
  const auto chunk = [&](const char* type, const std::string& body) {
    const std::string typed = type + body;
    return big(std::uint32_t(body.size())) + typed + big(pngCrc(typed));
  };
  std::string rows;
  for (int y = 0; y < height; ++y) {
    rows += '\0';
    for (int x = 0; x < width; ++x) {
      const Rgba c = colour(x, y);
      rows += {char(c.r), char(c.g), char(c.b)};
      if (alpha) rows += char(c.a);
    }
  }
  std::string zlib = "\x78\x01";
  constexpr std::size_t kBlock = 65535;
  for (std::size_t at = 0; at < rows.size(); at += kBlock) {
    const auto n = std::uint16_t(std::min(kBlock, rows.size() - at));
    zlib += {char(at + n == rows.size()), char(n & 0xFF), char(n >> 8), char(~n & 0xFF),
             char((~n >> 8) & 0xFF)};
    zlib += rows.substr(at, n);
  }
  std::uint32_t a = 1, b = 0;
  for (const char byte : rows) {
    a = (a + std::uint8_t(byte)) % 65521;
    b = (b + a) % 65521;
  }
  zlib += big(b << 16 | a);
  std::string png = "\x89PNG\r\n\x1a\n";
  png += chunk("IHDR", big(std::uint32_t(width)) + big(std::uint32_t(height)) +
                           std::string{8, char(alpha ? 6 : 2), 0, 0, 0});
  constexpr std::size_t kIdatBytes = 1000;
  for (std::size_t at = 0; at < zlib.size(); at += kIdatBytes)
    png += chunk("IDAT", zlib.substr(at, kIdatBytes));
  return png + chunk("IEND", "");
}

}  // namespace quillane::testsupport
