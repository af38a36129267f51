#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <vector>

#include "app/Toolkit.h"

// The controls of the window behind the controller's interfaces. Each adapter refers to a
// widget that the window layout owns.
namespace quillane::qt {

// Keeps a label's text elided in the middle to the label's width, so that both ends of a
// long path stay in sight; the whole text is then its tooltip.
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

class PathLine final : public toolkit::PathControl {
 public:
  explicit PathLine(QLabel* label) : text_(label) {}
  void setPath(const std::string& path) override { text_.setText(QString::fromStdString(path)); }

 private:
  ElidedLabel text_;
};

class TextLabel final : public toolkit::TextLine {
 public:
  explicit TextLabel(QLabel* label) : text_(label) {}
  void setText(const std::string& text) override { text_.setText(QString::fromStdString(text)); }

 private:
  ElidedLabel text_;
};

// The end-of-job line: a label and the button that shows the written file.
class ResultBar final : public toolkit::ResultLine {
 public:
  ResultBar(QLabel* label, QWidget* revealButton);
  void setResult(const std::string& text, bool canRevealFile) override;

 private:
  QLabel* label_;
  ElidedLabel text_;
  QWidget* revealButton_;
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

// A panel over the window's content, which is disabled while the panel shows; the menu bar
// stays live.
class SheetControl final : public toolkit::Sheet {
 public:
  SheetControl(QWidget* panel, QWidget* focus, std::vector<QWidget*> covered)
      : panel_(panel), focus_(focus), covered_(std::move(covered)) {}
  void begin(std::function<void(int)> didEnd) override;
  void end(int code) override;
  void orderOut() override;

 private:
  void setCoveredEnabled(bool enabled);

  QWidget* panel_;
  QWidget* focus_;  // takes the keyboard focus when the panel shows
  std::vector<QWidget*> covered_;
  std::function<void(int)> didEnd_;
  bool up_ = false;
};

}  // namespace quillane::qt
