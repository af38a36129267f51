#pragma once

#include <string>

namespace quillane::qt {

// Loads Qt's own texts (file dialogs, standard buttons) in the language of the app's texts,
// from the translations that Qt is installed with. Answers whether any were loaded; English
// needs none.
bool installQtTranslations(const std::string& language);

}  // namespace quillane::qt
