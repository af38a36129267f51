#include "ElidedLabel.h"

#include <QEvent>

namespace quillane::qt {

ElidedLabel::ElidedLabel(QLabel* label) : QObject(label), label_(label) {
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

}  // namespace quillane::qt
