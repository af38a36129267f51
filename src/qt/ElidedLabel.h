#pragma once

#include <QLabel>

namespace quillane::qt {

// Keeps a label's text elided in the middle to the label's width, so that both ends of a long
// path stay in sight; the whole text is then its tooltip. Owned by the label.
class ElidedLabel final : public QObject {
 public:
  explicit ElidedLabel(QLabel* label);
  void setText(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void elide();

  QLabel* label_;
  QString text_;
};

}  // namespace quillane::qt
