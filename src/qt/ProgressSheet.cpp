#include "ProgressSheet.h"

#include <QShortcut>
#include <cmath>

#include "ElidedLabel.h"
#include "LocalizedText.h"
#include "ui_ProgressSheet.h"

namespace quillane::qt {

ProgressSheet::ProgressSheet(QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::ProgressSheet>()) {
  ui_->setupUi(this);
  source_ = new ElidedLabel(ui_->sourcePath);
  output_ = new ElidedLabel(ui_->outputPath);
  fileLine_ = new ElidedLabel(ui_->fileLine);
  ui_->labelSource->setText(localizedText("PROGRESS_SOURCE"));
  ui_->labelOutput->setText(localizedText("PROGRESS_OUTPUT"));
  ui_->cancelButton->setText(localizedText("CANCEL_BUTTON"));
  ui_->cancelButton->setToolTip(localizedText("TIP_CANCEL"));
  connect(ui_->cancelButton, &QPushButton::clicked, this, &ProgressSheet::cancelled);
  // Only while the panel shows: a hidden widget's shortcuts do not fire.
  connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this,
          &ProgressSheet::cancelled);
  hide();
}

ProgressSheet::~ProgressSheet() = default;

void ProgressSheet::showPaths(const QString& source, const QString& output) {
  source_->setText(source);
  output_->setText(output);
}

void ProgressSheet::showProgress(double percent, const QString& fileLine) {
  // The bar counts in tenths of a percent.
  ui_->progressBar->setValue(static_cast<int>(std::lround(percent * 10.0)));
  fileLine_->setText(fileLine);
}

QWidget* ProgressSheet::cancelButton() const { return ui_->cancelButton; }

}  // namespace quillane::qt
