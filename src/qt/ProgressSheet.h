#pragma once

#include <QFrame>
#include <functional>
#include <memory>

namespace Ui {
class ProgressSheet;
}

namespace quillane::qt {

// The progress sheet: a panel over the main window's content with the source folder, the
// output file, the file being processed, a bar and Cancel. Cancel and Escape send the cancel
// action.
class ProgressSheet final : public QFrame {
  Q_OBJECT
 public:
  explicit ProgressSheet(QWidget* parent);
  ~ProgressSheet() override;

  Ui::ProgressSheet& ui() { return *ui_; }
  std::function<void()> onCancel;

 private:
  std::unique_ptr<Ui::ProgressSheet> ui_;
};

}  // namespace quillane::qt
