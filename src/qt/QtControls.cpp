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

ElidedLabel::ElidedLabel(QLabel* label) : label_(label) {
  // Any width will do: the text is elided to fit, and never widens the window.
  label_->setSizePolicy(QSizePolicy::Ignored, label_->sizePolicy().verticalPolicy());
  label_->setTextFormat(Qt::PlainText);
  label_->installEventFilter(this);
}

void ElidedLabel::setText(const QString& text) {
  text_ = text;
  elide();
}

void ElidedLabel::elide() {
  const QString shown =
      label_->fontMetrics().elidedText(text_, Qt::ElideMiddle, label_->contentsRect().width());
  label_->setText(shown);
  label_->setToolTip(shown == text_ ? QString() : text_);
}

bool ElidedLabel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label_ && event->type() == QEvent::Resize) elide();
  return QObject::eventFilter(watched, event);
}

ResultBar::ResultBar(QLabel* label, QWidget* revealButton)
    : label_(label), text_(label), revealButton_(revealButton) {}

void ResultBar::setResult(const std::string& text, bool canRevealFile) {
  text_.setText(QString::fromStdString(text));
  label_->setVisible(!text.empty());
  revealButton_->setVisible(!text.empty() && canRevealFile);
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
  setCoveredEnabled(false);
  panel_->show();
  panel_->raise();
  focus_->setFocus();
}

void SheetControl::orderOut() {
  panel_->hide();
  setCoveredEnabled(true);
}

void SheetControl::setCoveredEnabled(bool enabled) {
  for (QWidget* widget : covered_) widget->setEnabled(enabled);
}

void SheetControl::end(int code) {
  if (!up_) return;
  up_ = false;
  if (didEnd_) didEnd_(code);
}

}  // namespace quillane::qt
