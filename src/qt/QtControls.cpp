#include "QtControls.h"

#include <QEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <cmath>

namespace quillane::qt {
namespace {

// How long an animated change of the window's height takes.
constexpr int kFrameAnimationMs = 200;

}  // namespace

PathLine::PathLine(QLineEdit* line) : line_(line) {
  line_->setReadOnly(true);
  line_->setFocusPolicy(Qt::NoFocus);
}

void PathLine::setPath(const std::string& path) {
  line_->setText(QString::fromStdString(path));
  line_->setToolTip(line_->text());
  line_->setCursorPosition(0);
}

void ProgressBarControl::setDoubleValue(double value) {
  // The bar counts in tenths of a percent.
  bar_->setValue(static_cast<int>(std::lround(value * 10.0)));
}

WindowControl::WindowControl(QWidget* window) : window_(window) {
  window_->installEventFilter(this);
}

QRect WindowControl::toScreen(const toolkit::WindowFrame& frame) const {
  const int screenHeight = window_->screen()->geometry().height();
  const int height = static_cast<int>(std::lround(frame.height));
  const int top = screenHeight - static_cast<int>(std::lround(frame.y)) - height;
  return {static_cast<int>(std::lround(frame.x)), top, static_cast<int>(std::lround(frame.width)),
          height};
}

toolkit::WindowFrame WindowControl::frame() const {
  const QRect rect = window_->geometry();
  const int screenHeight = window_->screen()->geometry().height();
  return {double(rect.x()), double(screenHeight - rect.y() - rect.height()), double(rect.width()),
          double(rect.height())};
}

void WindowControl::setFrame(const toolkit::WindowFrame& frame, bool animate) {
  const QRect target = toScreen(frame);
  if (!animate || !window_->isVisible()) {
    window_->setGeometry(target);
    return;
  }
  auto* animation = new QPropertyAnimation(window_, "geometry", window_);
  animation->setDuration(kFrameAnimationMs);
  animation->setEndValue(target);
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void WindowControl::setFrameAutosaveName(const std::string& name) {
  autosaveName_ = QString::fromStdString(name);
  const QStringList parts =
      QSettings().value(autosaveName_).toString().split(' ', Qt::SkipEmptyParts);
  if (parts.size() != 4) return;
  toolkit::WindowFrame saved;
  double* fields[] = {&saved.x, &saved.y, &saved.width, &saved.height};
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    *fields[i] = parts[i].toDouble(&ok);
    if (!ok) return;
  }
  if (saved.width < 1 || saved.height < 1) return;
  restoring_ = true;
  setFrame(saved, false);
  restoring_ = false;
}

void WindowControl::saveFrame() const {
  if (autosaveName_.isEmpty() || restoring_) return;
  const toolkit::WindowFrame f = frame();
  QSettings().setValue(autosaveName_, QStringLiteral("%1 %2 %3 %4")
                                          .arg(f.x)
                                          .arg(f.y)
                                          .arg(f.width)
                                          .arg(f.height));
}

bool WindowControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
    saveFrame();
  return QObject::eventFilter(watched, event);
}

void SheetControl::begin(std::function<void(int)> didEnd) {
  didEnd_ = std::move(didEnd);
  up_ = true;
  dialog_->setWindowModality(Qt::WindowModal);
  dialog_->open();
}

void SheetControl::end(int code) {
  if (!up_) return;
  up_ = false;
  if (didEnd_) didEnd_(code);
}

}  // namespace quillane::qt
