#include "ProgressSheet.h"

#include "ui_ProgressSheet.h"
#include "util/Strings.h"

namespace quillane::qt {

ProgressSheet::ProgressSheet(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::ProgressSheet>()) {
  ui_->setupUi(this);
  const auto text = [](const char* key) { return QString::fromStdString(localizedString(key)); };
  setWindowTitle(text("PROGRESS_TITLE"));
  ui_->labelSource->setText(text("PROGRESS_SOURCE"));
  ui_->labelOutput->setText(text("PROGRESS_OUTPUT"));
  ui_->btnCancel->setText(text("CANCEL_BUTTON"));
  connect(ui_->btnCancel, &QPushButton::clicked, this, [this] { reject(); });
}

ProgressSheet::~ProgressSheet() = default;

// The controller ends and hides the sheet; the dialog does not close itself.
void ProgressSheet::reject() {
  if (onCancel) onCancel();
}

}  // namespace quillane::qt
