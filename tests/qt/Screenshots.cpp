// Pictures of the desktop application for the README: the main window, and the progress sheet
// over it. Run under a display (scripts/screenshot starts it under Xvfb):
//   quillane-screenshots OUTPUT_FOLDER
// The job is held at 40 % so that the sheet is caught mid-run; it is then stopped.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "qt/MainWindow.h"

namespace {

void settle(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The screen around the main window, so that a sheet over it shows too.
bool grabAround(const QWidget& window, const QString& path) {
  const QRect frame = window.frameGeometry().adjusted(-12, -12, 12, 12);
  const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  return shot.save(path);
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Quillane");
  QApplication::setApplicationName("quillane-app");
  QApplication::setApplicationDisplayName("Quillane");
  QApplication::setWindowIcon(QIcon(":/icons/quillane.png"));
  if (argc < 2) {
    std::fprintf(stderr, "usage: quillane-screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(out.path());

  // A short, readable path for the pictures.
  QDir work(QDir::temp().filePath("quillane-demo"));
  work.removeRecursively();
  const QString source = work.filePath("Pictures/storyboard");
  QDir().mkpath(source);
  const QColor colours[] = {Qt::red, Qt::darkGreen, Qt::blue, Qt::darkYellow};
  for (int i = 0; i < 4; ++i) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colours[i]);
    image.save(QStringLiteral("%1/scene%2.png").arg(source).arg(i + 1));
  }

  quillane::AppDelegate controller;
  // A job that shows its second file at 40 % until it is stopped.
  controller.jobBody = [](quillane::AppDelegate& app, const std::vector<std::string>& files,
                          const std::string&) {
    auto progress = std::make_shared<quillane::ProgressUtility>();
    progress->setMajorStepMax(5);
    progress->setMajorStep(2);
    app.progressUtil.store(progress);
    app.progressFilename.store(std::make_shared<const std::string>(files[1]));
    while (!app.progressCancelled) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    app.progressCancelled = false;
  };
  quillane::qt::MainWindow window(controller);
  window.launch({source});
  window.move(60, 60);
  window.findChild<QRadioButton*>("radio1")->click();
  settle(500);
  bool ok = window.grab().save(out.filePath("screenshot-main.png"));

  // Answer the save panel, then catch the sheet while the job runs.
  QTimer::singleShot(300, [&] {
    auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (panel == nullptr) return;
    panel->setDirectory(work.path());
    panel->findChild<QLineEdit*>("fileNameEdit")->setText("storyboard.psd");
    QMetaObject::invokeMethod(panel, "accept");
  });
  window.findChild<QPushButton*>("btnProcess")->click();
  settle(1200);
  ok = grabAround(window, out.filePath("screenshot-sheet.png")) && ok;
  controller.onMenuStop();
  settle(300);
  controller.applicationWillTerminate();
  work.removeRecursively();
  std::printf("%s\n", ok ? "saved screenshot-main.png and screenshot-sheet.png" : "failed");
  return ok ? 0 : 1;
}
