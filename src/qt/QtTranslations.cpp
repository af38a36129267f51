#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace quillane::qt {

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
  return loaded;
}

}  // namespace quillane::qt
