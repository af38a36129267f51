#include "image/Canvas.h"

namespace quillane {

struct Canvas::State {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

std::optional<Canvas> Canvas::create(int, int) { return std::nullopt; }
Canvas::Canvas(std::unique_ptr<State> state) : state_(std::move(state)) {}
Canvas::Canvas(Canvas&&) noexcept = default;
Canvas& Canvas::operator=(Canvas&&) noexcept = default;
Canvas::~Canvas() = default;
int Canvas::width() const { return state_->width; }
int Canvas::height() const { return state_->height; }
void Canvas::fillOpaqueWhite() {}
void Canvas::setAlpha(float) {}
void Canvas::drawBitmap(const Bitmap&, Point) {}
const std::uint8_t* Canvas::data() const { return state_->pixels.data(); }
std::vector<std::uint8_t> Canvas::snapshot() const { return state_->pixels; }

}  // namespace quillane
