#include "job/JobFailure.h"

#include <exception>
#include <new>

#include "util/Exception.h"

namespace quillane {

std::optional<JobFailure> runCatchingFailure(const std::function<void()>& job) {
  try {
    job();
    return std::nullopt;
  } catch (const Exception& error) {
    return JobFailure{error.name(), error.reason(), true};
  } catch (const std::bad_alloc&) {
    return JobFailure{"", "out of memory: the document does not fit in memory", false};
  } catch (const std::exception& error) {
    return JobFailure{"", error.what(), false};
  } catch (...) {
    return JobFailure{};
  }
}

}  // namespace quillane
