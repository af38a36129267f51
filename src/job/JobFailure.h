#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillane {

// How a job that raised ended, as the user is told. A quillane::Exception gives its own name
// and reason; anything else has no name (the front end supplies its caption) and a reason in
// words, or none.
struct JobFailure {
  std::string name;
  std::string reason;
  bool named = false;
};

// Runs the job. Every exception, of whatever type, becomes the failure answered: one that
// escaped a worker thread would end the process.
std::optional<JobFailure> runCatchingFailure(const std::function<void()>& job);

}  // namespace quillane
