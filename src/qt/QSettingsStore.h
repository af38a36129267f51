#pragma once

#include <QSettings>

#include "app/Settings.h"

namespace quillane::qt {

// The settings store on QSettings (the application's organisation and name), each value
// written through at once.
class QSettingsStore final : public SettingsStore {
 public:
  std::optional<SettingValue> value(const std::string& key) const override;
  void setValue(const std::string& key, const SettingValue& value) override;
  void remove(const std::string& key) override;

 private:
  QSettings settings_;
};

}  // namespace quillane::qt
