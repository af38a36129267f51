#pragma once

#include <QStringList>

#include "MainWindow.h"
#include "QSettingsStore.h"
#include "QtServices.h"
#include "app/Controller.h"

namespace quillane::qt {

// The desktop application: the settings, the main window, its services and the controller,
// connected. Declared in that order, so the controller (and the threads it owns) goes first.
class DesktopApp {
 public:
  explicit DesktopApp(Controller::JobFunction job = runJob);

  // Shows the window, then opens each path as the user's choice, kept in Open Recent.
  void show(const QStringList& paths);

  MainWindow& window() { return window_; }
  Controller& controller() { return controller_; }

 private:
  void connectWindow();

  QSettingsStore settings_;
  MainWindow window_;
  QtServices services_;
  Controller controller_;
};

}  // namespace quillane::qt
