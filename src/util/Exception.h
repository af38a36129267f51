#pragma once

#include <stdexcept>
#include <string>

namespace quillane {

// A failure that ends a job: a name shown as the alert's message and a reason shown as its
// detail. what() answers "NAME: REASON" for callers that only know std::exception.
class Exception : public std::runtime_error {
 public:
  Exception(std::string name, std::string reason)
      : std::runtime_error(name + ": " + reason), name_(std::move(name)), reason_(std::move(reason)) {}

  const std::string& name() const noexcept { return name_; }
  const std::string& reason() const noexcept { return reason_; }

 private:
  std::string name_;
  std::string reason_;
};

// The exception name the writer uses for its generic failures.
inline constexpr const char* kGenericExceptionName = "NSGenericException";

}  // namespace quillane
