#pragma once

#include <QFrame>
#include <memory>

namespace Ui {
class ProgressSheet;
}

namespace quillane::qt {

class ElidedLabel;

// The progress panel: a panel over the main window's content with the source folder, the
// output file, the file under way, a bar and Cancel. Cancel and Escape emit cancelled.
class ProgressSheet final : public QFrame {
  Q_OBJECT
 public:
  explicit ProgressSheet(QWidget* parent);
  ~ProgressSheet() override;

  void showPaths(const QString& source, const QString& output);
  // percent from 0 to 100.
  void showProgress(double percent, const QString& fileLine);
  QWidget* cancelButton() const;

 signals:
  void cancelled();

 private:
  std::unique_ptr<Ui::ProgressSheet> ui_;
  ElidedLabel* source_;
  ElidedLabel* output_;
  ElidedLabel* fileLine_;
};

}  // namespace quillane::qt
