#include <syslog.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <csignal>
#include <cstdio>
#include <string_view>

#include "DesktopApp.h"
#include "LocalizedText.h"
#include "QtTranslations.h"
#include "util/Log.h"

namespace {

// Whether the command line asks for the usage, which is printed without opening a window.
bool asksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (argument == "--") return false;
    if (argument == "-h" || argument == "--help" || argument == "--help-all") return true;
  }
  return false;
}

}  // namespace

// quillane-app [-v] [FOLDER...]: the desktop application; each FOLDER opens as from outside.
int main(int argc, char** argv) {
  // Past a file-size limit a write fails with EFBIG and is reported, instead of ending the app.
  std::signal(SIGXFSZ, SIG_IGN);
  // The usage needs no display: on Qt's offscreen platform it prints over ssh, or where no
  // desktop runs, instead of the application failing to start.
  if (asksForHelp(argc, argv)) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Quillane");
  QApplication::setApplicationName("quillane-app");
  QApplication::setApplicationDisplayName("Quillane");
  QApplication::setApplicationVersion(QUILLANE_VERSION);
  QApplication::setWindowIcon(QIcon(":/icons/quillane.png"));
  quillane::qt::installQtTranslations(quillane::languageFromEnvironment());

  QCommandLineParser parser;
  parser.setApplicationDescription(quillane::qt::localizedText("ABOUT_TEXT"));
  parser.addHelpOption();
  const QCommandLineOption verbose(QStringList{"v", "verbose"},
                                   quillane::qt::localizedText("APP_VERBOSE_HELP"));
  parser.addOption(verbose);
  parser.addPositionalArgument("folder", quillane::qt::localizedText("APP_FOLDER_HELP"),
                               "[FOLDER]");
  parser.process(app);

  if (parser.isSet(verbose)) {
    quillane::setLogSink(quillane::logToStderr);
  } else {
    openlog("quillane-app", LOG_PID, LOG_USER);
    quillane::setLogSink([](std::string_view line) {
      syslog(LOG_INFO, "%.*s", static_cast<int>(line.size()), line.data());
    });
  }

  // Closing the window quits; the controller then stops a running job and waits for it.
  quillane::qt::DesktopApp desktop;
  desktop.show(parser.positionalArguments());
  return QApplication::exec();
}
