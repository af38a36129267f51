#include "ProgressSheet.h"

#include <algorithm>

#include "ui_ProgressSheet.h"
#include "LocalizedText.h"

namespace quillane::qt {
namespace {

constexpr int kSheetWidth = 460;

}  // namespace

ProgressSheet::ProgressSheet(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::ProgressSheet>()) {
  ui_->setupUi(this);
  setWindowTitle(localizedText("PROGRESS_TITLE"));
  ui_->labelSource->setText(localizedText("PROGRESS_SOURCE"));
  ui_->labelOutput->setText(localizedText("PROGRESS_OUTPUT"));
  ui_->btnCancel->setText(localizedText("CANCEL_BUTTON"));
  // Wide enough for a path, no taller than its contents.
  resize(std::max(width(), kSheetWidth), sizeHint().height());
  connect(ui_->btnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

ProgressSheet::~ProgressSheet() = default;

// The controller ends and hides the sheet; the dialog does not close itself.
void ProgressSheet::reject() {
  if (onCancel) onCancel();
}

}  // namespace quillane::qt
