#pragma once

#include <string>

#include "util/Error.h"

namespace quillane {

// The words for an error, from the strings tables in the user's language.
struct ErrorText {
  std::string message;  // the alert's title, a sentence
  std::string detail;   // the file and the values, or empty
};

ErrorText describeError(const Error& error);

}  // namespace quillane
