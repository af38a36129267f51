#include "QSettingsStore.h"

namespace quillane::qt {
namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

// Values as they were set in this run keep their type; those read from the file come back as
// text, or as a list of texts.
SettingValue fromVariant(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::Bool:
      return value.toBool();
    case QMetaType::Int:
      return value.toInt();
    case QMetaType::QStringList: {
      std::vector<std::string> list;
      for (const QString& text : value.toStringList()) list.push_back(text.toStdString());
      return list;
    }
    default:
      return value.toString().toStdString();
  }
}

struct ToVariant {
  QVariant operator()(bool flag) const { return flag; }
  QVariant operator()(int number) const { return number; }
  QVariant operator()(const std::string& text) const { return qs(text); }
  QVariant operator()(const std::vector<std::string>& list) const {
    QStringList texts;
    for (const std::string& text : list) texts << qs(text);
    return texts;
  }
};

}  // namespace

std::optional<SettingValue> QSettingsStore::value(const std::string& key) const {
  if (!settings_.contains(qs(key))) return std::nullopt;
  return fromVariant(settings_.value(qs(key)));
}

void QSettingsStore::setValue(const std::string& key, const SettingValue& value) {
  settings_.setValue(qs(key), std::visit(ToVariant{}, value));
  settings_.sync();
}

void QSettingsStore::remove(const std::string& key) {
  settings_.remove(qs(key));
  settings_.sync();
}

}  // namespace quillane::qt
