#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>
#include <memory>

#include "LocalizedText.h"

namespace quillane::qt {
namespace {

// The descriptions of the help options that Qt's command-line parser adds, from the string
// tables: Qt's catalogues may not translate them.
class HelpOptionTexts final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* sourceText, const char*, int) const override {
    if (std::strcmp(context, "QCommandLineParser") != 0) return {};
    if (std::strcmp(sourceText, "Displays help on commandline options.") == 0)
      return localizedText("APP_HELP_HELP");
    if (std::strcmp(sourceText, "Displays help including Qt specific options.") == 0)
      return localizedText("APP_HELP_ALL_HELP");
    return {};
  }
};

}  // namespace

bool installQtTranslations(const std::string& language) {
  if (language == "en") return false;
  const QLocale locale(QString::fromStdString(language));
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  bool loaded = false;
  for (const char* catalogue : {"qt", "qtbase"}) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, catalogue, "_", folder) ||
        !QCoreApplication::installTranslator(translator.get()))
      continue;
    translator.release()->setParent(QCoreApplication::instance());  // kept for the app's life
    loaded = true;
  }
  // Installed last, it is asked first.
  QCoreApplication::installTranslator(new HelpOptionTexts(QCoreApplication::instance()));
  return loaded;
}

}  // namespace quillane::qt
