#include "job/JobFailure.h"

#include <exception>
#include <new>

#include "util/Exception.h"
#include "util/Strings.h"

namespace quillane {

std::optional<JobFailure> runCatchingFailure(const std::function<void()>& job) {
  try {
    job();
    return std::nullopt;
  } catch (const Exception& error) {
    return JobFailure{error.name(), error.reason()};
  } catch (const std::bad_alloc&) {
    return JobFailure{localizedString("OUT_OF_MEMORY"), ""};
  } catch (const std::exception& error) {
    return JobFailure{localizedString("JOB_FAILED"), error.what()};
  } catch (...) {
    return JobFailure{localizedString("JOB_FAILED"), localizedString("UNKNOWN_ERROR")};
  }
}

}  // namespace quillane
