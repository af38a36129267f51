#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QWidget>

#include "app/Toolkit.h"

// The controls of the window behind the controller's interfaces. Each adapter refers to a
// widget that the window layout owns.
namespace quillane::qt {

// A read-only line that shows a path and never takes the keyboard focus.
class PathLine final : public toolkit::PathControl {
 public:
  explicit PathLine(QLineEdit* line);
  void setPath(const std::string& path) override;

 private:
  QLineEdit* line_;
};

class CheckButton final : public toolkit::Button {
 public:
  explicit CheckButton(QAbstractButton* button) : button_(button) {}
  int state() const override { return button_->isChecked() ? 1 : 0; }
  void setState(int state) override { button_->setChecked(state == 1); }

 private:
  QAbstractButton* button_;
};

// A radio button whose tag is its "tag" property, set in the layout.
class RadioButtonCell final : public toolkit::RadioCell {
 public:
  explicit RadioButtonCell(QAbstractButton* button) : button_(button) {}
  int state() const override { return button_->isChecked() ? 1 : 0; }
  void setState(int state) override { button_->setChecked(state == 1); }
  int tag() const override { return button_->property("tag").toInt(); }

 private:
  QAbstractButton* button_;
};

class ProgressBarControl final : public toolkit::ProgressBar {
 public:
  explicit ProgressBarControl(QProgressBar* bar) : bar_(bar) {}
  void setDoubleValue(double value) override;
  void setNeedsDisplay() override { bar_->update(); }

 private:
  QProgressBar* bar_;
};

class ActionItem final : public toolkit::MenuItem {
 public:
  explicit ActionItem(QAction* action) : action_(action) {}
  void setEnabled(bool enabled) override { action_->setEnabled(enabled); }

 private:
  QAction* action_;
};

// The main window's frame, in points with the origin at the bottom-left of its screen, saved
// in the settings under the autosave name as "x y width height" whenever it moves or resizes.
class WindowControl final : public QObject, public toolkit::Window {
 public:
  explicit WindowControl(QWidget* window);
  void setFrameAutosaveName(const std::string& name) override;
  toolkit::WindowFrame frame() const override;
  void setFrame(const toolkit::WindowFrame& frame, bool animate) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QRect toScreen(const toolkit::WindowFrame& frame) const;
  void saveFrame() const;

  QWidget* window_;
  QString autosaveName_;
  bool restoring_ = false;
};

// A window-modal dialog over the main window, as a sheet.
class SheetControl final : public toolkit::Sheet {
 public:
  explicit SheetControl(QDialog* dialog) : dialog_(dialog) {}
  void begin(std::function<void(int)> didEnd) override;
  void end(int code) override;
  void orderOut() override { dialog_->hide(); }

 private:
  QDialog* dialog_;
  std::function<void(int)> didEnd_;
  bool up_ = false;
};

}  // namespace quillane::qt
