#pragma once

#include <QSettings>

#include "app/Toolkit.h"

namespace quillane::qt {

// The per-user settings store on QSettings (the application's organisation and name).
class QSettingsStore final : public toolkit::SettingsStore {
 public:
  std::optional<std::string> value(const std::string& key) const override;
  void setValue(const std::string& key, const std::string& value) override;
  void synchronize() override { settings_.sync(); }

  QSettings& settings() { return settings_; }

 private:
  QSettings settings_;
};

}  // namespace quillane::qt
