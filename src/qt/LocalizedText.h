#pragma once

#include <QRegularExpression>
#include <QString>

#include "util/Strings.h"

namespace quillane::qt {

// A text of the string tables in the user's language, for a widget.
inline QString localizedText(const char* key) {
  return QString::fromStdString(localizedString(key));
}

// The same without its accelerator mark ("&About" or "について(&A)"), for a title.
inline QString localizedTitle(const char* key) {
  static const QRegularExpression mark(QStringLiteral("\\(&.\\)|&(?=.)"));
  return localizedText(key).remove(mark);
}

}  // namespace quillane::qt
