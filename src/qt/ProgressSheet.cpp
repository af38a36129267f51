#include "ProgressSheet.h"

#include <algorithm>

#include "ui_ProgressSheet.h"
#include "util/Strings.h"

namespace quillane::qt {
namespace {

constexpr int kSheetWidth = 460;

}  // namespace

ProgressSheet::ProgressSheet(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::ProgressSheet>()) {
  ui_->setupUi(this);
  const auto text = [](const char* key) { return QString::fromStdString(localizedString(key)); };
  setWindowTitle(text("PROGRESS_TITLE"));
  ui_->labelSource->setText(text("PROGRESS_SOURCE"));
  ui_->labelOutput->setText(text("PROGRESS_OUTPUT"));
  ui_->btnCancel->setText(text("CANCEL_BUTTON"));
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
