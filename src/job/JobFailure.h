#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quillane {

// How a job that raised ended, as the user is told: a message and its detail, both from the
// strings tables unless the failure brought its own words.
struct JobFailure {
  std::string name;
  std::string reason;
};

// Runs the job. Every exception, of whatever type, becomes the failure answered: one that
// escaped a worker thread would end the process. A quillane::Exception gives its own name
// and reason; running out of memory and anything else are named in the user's language.
std::optional<JobFailure> runCatchingFailure(const std::function<void()>& job);

}  // namespace quillane
