#include "ProgressSheet.h"

#include <QShortcut>

#include "ui_ProgressSheet.h"
#include "LocalizedText.h"

namespace quillane::qt {

ProgressSheet::ProgressSheet(QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::ProgressSheet>()) {
  ui_->setupUi(this);
  ui_->labelSource->setText(localizedText("PROGRESS_SOURCE"));
  ui_->labelOutput->setText(localizedText("PROGRESS_OUTPUT"));
  ui_->btnCancel->setText(localizedText("CANCEL_BUTTON"));
  ui_->btnCancel->setToolTip(localizedText("TIP_CANCEL"));
  const auto cancel = [this] {
    if (onCancel) onCancel();
  };
  connect(ui_->btnCancel, &QPushButton::clicked, this, cancel);
  // Only while the sheet shows: a hidden widget's shortcuts do not fire.
  connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, cancel);
  hide();
}

ProgressSheet::~ProgressSheet() = default;

}  // namespace quillane::qt
