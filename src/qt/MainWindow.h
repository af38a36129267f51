#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <memory>

#include "ProgressSheet.h"
#include "QSettingsStore.h"
#include "QtControls.h"
#include "QtToolkit.h"
#include "RecentFolders.h"
#include "SerialMainQueue.h"
#include "app/AppDelegate.h"

namespace Ui {
class MainWindow;
}

namespace quillane::qt {

// The main window: builds the layout, connects its controls and services to the controller
// and sends the controller the user's actions. Folders dropped on the window open as from
// outside.
class MainWindow final : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(AppDelegate& controller);
  ~MainWindow() override;

  // The launch set-up, then the window on screen, then each path as opened from outside.
  void launch(const QStringList& paths);
  // Enables each command as the controller validates it.
  void updateCommands();

  ProgressSheet& sheet() { return *sheet_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildResultLine();
  void setCaptions();
  void setToolTips();
  void connectControls();
  void connectActions();
  void showAbout();

  AppDelegate& controller_;
  std::unique_ptr<Ui::MainWindow> ui_;
  ProgressSheet* sheet_;       // owned by the central widget
  QLabel* resultLabel_;        // owned by the status bar
  QPushButton* revealButton_;  // owned by the status bar
  int fullContentHeight_ = 0;  // the content's height with the option area shown
  QSettingsStore settingsStore_;
  SerialMainQueue mainQueue_;
  std::unique_ptr<RecentFolders> recent_;
  std::unique_ptr<QtToolkit> toolkit_;

  std::unique_ptr<WindowControl> window_;
  std::unique_ptr<PathLine> pathSource_, progressSource_, progressOutput_;
  std::unique_ptr<TextLabel> sourceSummary_, progressFile_;
  std::unique_ptr<ResultBar> result_;
  std::unique_ptr<RadioButtonCell> radio0_, radio1_, radio2_;
  std::unique_ptr<CheckButton> upDown_, orient_;
  std::unique_ptr<SheetControl> sheetControl_;
  std::unique_ptr<ProgressBarControl> progressBar_;
  std::unique_ptr<ActionItem> openRecent_, stop_;
};

}  // namespace quillane::qt
