#pragma once

#include <QString>

#include "util/Strings.h"

namespace quillane::qt {

// A text of the string tables in the user's language, for a widget.
inline QString localizedText(const char* key) {
  return QString::fromStdString(localizedString(key));
}

}  // namespace quillane::qt
