#include "QSettingsStore.h"

namespace quillane::qt {

std::optional<std::string> QSettingsStore::value(const std::string& key) const {
  const QString name = QString::fromStdString(key);
  if (!settings_.contains(name)) return std::nullopt;
  return settings_.value(name).toString().toStdString();
}

void QSettingsStore::setValue(const std::string& key, const std::string& value) {
  settings_.setValue(QString::fromStdString(key), QString::fromStdString(value));
}

}  // namespace quillane::qt
