// quillane-screenshots FOLDER: takes the README's pictures of the main window on Qt's
// offscreen platform, in the language of the locale: after a job, at its minimum size,
// maximized, and with the progress panel. Not installed; scripts/screenshot runs it.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <cstdio>

#include "DesktopApp.h"
#include "QtTranslations.h"
#include "app/Texts.h"
#include "util/Strings.h"

namespace {

using quillane::qt::MainWindow;

void settle(int ms = 300) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A folder of four frames, under a short path to show.
QString makeDemoFolder(const QDir& work) {
  const QString folder = work.filePath("Pictures/storyboard");
  QDir().mkpath(folder);
  for (int i = 1; i <= 4; ++i) {
    QImage image(1280, 720, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv(i * 70, 150, 220));
    image.save(QString("%1/a-frame-00%2.png").arg(folder).arg(i));
  }
  return folder;
}

bool save(MainWindow& window, const QString& path) {
  settle();
  const bool saved = window.grab().save(path);
  if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The settings go to a folder of the tool's own, never to the user's.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Quillane");
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillane-screenshots FOLDER\n");
    return 2;
  }
  const std::string language = quillane::languageFromEnvironment();
  quillane::qt::installQtTranslations(language);
  const QString out = QString(argv[1]) + "/";
  const QString suffix = language == "ja" ? "-ja.png" : ".png";

  QDir work(QDir::temp().filePath("quillane-demo"));
  const QString folder = makeDemoFolder(work);
  const QString output = work.filePath("storyboard.psd");
  quillane::qt::DesktopApp desktop;
  desktop.show({folder});
  MainWindow& window = desktop.window();
  settle(1000);  // the summary line
  window.showResult(quillane::resultText({false, output.toStdString(), 4, {1280, 720}}), true);
  const QSize normal = window.size();
  bool saved = save(window, out + "main" + suffix);
  window.resize(window.minimumSize());
  saved = save(window, out + "minimum" + suffix) && saved;
  window.showMaximized();
  saved = save(window, out + "maximized" + suffix) && saved;
  window.showNormal();
  window.resize(normal);
  window.showResult("", false);

  window.showProgressPanel(folder.toStdString(), output.toStdString());
  quillane::JobProgress::Snapshot progress{};
  progress.fileIndex = 1;
  progress.fileCount = 4;
  progress.file = folder.toStdString() + "/a-frame-002.png";
  window.showProgress(60, quillane::progressLine(progress));
  saved = save(window, out + "sheet" + suffix) && saved;
  window.hideProgressPanel();
  work.removeRecursively();
  return saved ? 0 : 1;
}
