#pragma once

namespace quillane {

// The platform's size, point and rectangle types: 32-bit floats. Sizes of images are in
// points; canvas and layer sizes in pixels; the two agree at 72 dots per inch.
struct Size {
  float width = 0.0f;
  float height = 0.0f;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  float x = 0.0f;
  float y = 0.0f;
  friend bool operator==(const Point&, const Point&) = default;
};

// Origin at the top-left, y growing downwards.
struct Rect {
  float x = 0.0f;
  float y = 0.0f;
  float width = 0.0f;
  float height = 0.0f;
  friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace quillane
