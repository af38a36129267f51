#pragma once

namespace quillane {

// The resolution a file declares, in dots per inch: 72 each way where it declares none, or
// declares a value that is not positive or is absurd.
struct Resolution {
  static constexpr float kDefaultDpi = 72.0f;

  float x = kDefaultDpi;
  float y = kDefaultDpi;

  static Resolution declared(float dpiX, float dpiY) { return {usable(dpiX), usable(dpiY)}; }
  static Resolution fromDotsPerCentimetre(float x, float y) {
    return declared(x * kCentimetresPerInch, y * kCentimetresPerInch);
  }
  static Resolution fromDotsPerMetre(float x, float y) {
    return declared(x * kMetresPerInch, y * kMetresPerInch);
  }
  // The sides swapped, for an image turned a quarter.
  Resolution transposed() const { return {y, x}; }

  friend bool operator==(const Resolution&, const Resolution&) = default;

 private:
  static constexpr float kCentimetresPerInch = 2.54f;
  static constexpr float kMetresPerInch = 0.0254f;
  static float usable(float dpi) { return dpi > 0.0f && dpi < 1.0e6f ? dpi : kDefaultDpi; }
};

}  // namespace quillane
