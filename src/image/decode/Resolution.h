#pragma once

// Resolution units the formats declare, turned into dots per inch. A result that is not
// positive (a missing or zero field) is left to BitmapImageRep, which reads it as 72 dpi.
namespace quillane::resolution {

inline constexpr float kCentimetresPerInch = 2.54f;
inline constexpr float kMetresPerInch = 0.0254f;

inline float fromDotsPerCentimetre(float dotsPerCm) { return dotsPerCm * kCentimetresPerInch; }
inline float fromDotsPerMetre(float dotsPerMetre) { return dotsPerMetre * kMetresPerInch; }

}  // namespace quillane::resolution
