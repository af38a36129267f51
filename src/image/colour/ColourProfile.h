#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillane {

// An ICC profile that colours can be converted from, or into: an input, display, output or
// colour-space profile of RGB, grey or CMYK data, as Little CMS reads it. Holds its own copy
// of the bytes, so that a document can embed them unchanged.
class ColourProfile {
 public:
  enum class Data { Rgb, Grey, Cmyk };

  // The profile in the bytes, or nothing when Little CMS cannot read it or it is of a class or
  // colour space that pixels cannot be converted through (the reason goes to the log).
  static std::optional<ColourProfile> read(std::span<const std::uint8_t> bytes);
  // Little CMS's own sRGB, with no bytes of its own: the colour space of untagged files.
  static ColourProfile srgb();

  Data data() const { return data_; }
  // Whether it converts colours as sRGB does: every colour of a coarse grid comes out within
  // one step of itself.
  bool isSrgb() const { return srgb_; }
  // The profile's own description ("Adobe RGB (1998)"), or "" when it has none.
  std::string description() const;
  // The bytes it was read from; empty for the built-in sRGB.
  std::span<const std::uint8_t> bytes() const { return bytes_; }

  // Little CMS's handle (a cmsHPROFILE), for conversions.
  void* handle() const { return handle_.get(); }

 private:
  ColourProfile(std::shared_ptr<void> handle, Data data, std::vector<std::uint8_t> bytes);

  std::shared_ptr<void> handle_;
  Data data_;
  std::vector<std::uint8_t> bytes_;
  bool srgb_ = false;
};

}  // namespace quillane
