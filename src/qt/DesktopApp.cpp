#include "DesktopApp.h"

#include <QFileInfo>

namespace quillane::qt {

DesktopApp::DesktopApp(Controller::JobFunction job)
    : services_(&window_), controller_(window_, services_, settings_, std::move(job)) {
  connectWindow();
}

void DesktopApp::connectWindow() {
  Controller& c = controller_;
  MainWindow* w = &window_;
  QObject::connect(w, &MainWindow::chooseSourceRequested, w, [&c] { c.chooseSourceFolder(); });
  QObject::connect(w, &MainWindow::folderOpened, w,
                   [&c](const QString& folder) { c.openFolder(folder.toStdString()); });
  QObject::connect(w, &MainWindow::pathDropped, w,
                   [&c](const QString& path) { c.openDropped(path.toStdString()); });
  QObject::connect(w, &MainWindow::clearRecentRequested, w, [&c] { c.clearRecentFolders(); });
  QObject::connect(w, &MainWindow::keyColourChosen, w,
                   [&c](KeyColour key) { c.setKeyColour(key); });
  QObject::connect(w, &MainWindow::orientChosen, w, [&c](bool orient) { c.setOrient(orient); });
  QObject::connect(w, &MainWindow::ignoreProfilesChosen, w,
                   [&c](bool ignore) { c.setIgnoreProfiles(ignore); });
  QObject::connect(w, &MainWindow::naturalOrderChosen, w,
                   [&c](bool natural) { c.setNaturalOrder(natural); });
  QObject::connect(w, &MainWindow::toleranceChosen, w,
                   [&c](int tolerance) { c.setTolerance(tolerance); });
  QObject::connect(w, &MainWindow::keepResolutionChosen, w,
                   [&c](bool keep) { c.setKeepResolution(keep); });
  QObject::connect(w, &MainWindow::multiplyChosen, w,
                   [&c](bool multiply) { c.setMultiply(multiply); });
  QObject::connect(w, &MainWindow::groupsChosen, w, [&c](bool groups) { c.setGroups(groups); });
  QObject::connect(w, &MainWindow::modernFormatsChosen, w,
                   [&c](bool modern) { c.setModernFormats(modern); });
  QObject::connect(w, &MainWindow::allFramesChosen, w, [&c](bool all) { c.setAllFrames(all); });
  QObject::connect(w, &MainWindow::optionsToggled, w, [&c] { c.toggleOptions(); });
  QObject::connect(w, &MainWindow::processRequested, w, [&c] { c.process(); });
  QObject::connect(w, &MainWindow::stopRequested, w, [&c] { c.stop(); });
  QObject::connect(w, &MainWindow::quitRequested, w, [&c] { c.quit(); });
  QObject::connect(w, &MainWindow::revealRequested, w, [&c] { c.revealResult(); });
}

void DesktopApp::show(const QStringList& paths) {
  window_.show();
  for (const QString& path : paths)
    controller_.openAndRemember(QFileInfo(path).absoluteFilePath().toStdString());
}

}  // namespace quillane::qt
