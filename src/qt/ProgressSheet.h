#pragma once

#include <QDialog>
#include <functional>
#include <memory>

namespace Ui {
class ProgressSheet;
}

namespace quillane::qt {

// The progress sheet: the source (then the current file), the output file, a bar and Cancel.
// Cancel, Escape and the close button all send the cancel action.
class ProgressSheet final : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressSheet(QWidget* parent);
  ~ProgressSheet() override;

  Ui::ProgressSheet& ui() { return *ui_; }
  std::function<void()> onCancel;

  void reject() override;

 private:
  std::unique_ptr<Ui::ProgressSheet> ui_;
};

}  // namespace quillane::qt
