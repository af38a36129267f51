#pragma once

#include "job/JobRecord.h"

namespace quillane {

// The application controller: the job-side record plus, in the desktop application, the
// window-side fields and operations.
class AppDelegate : public JobRecord {
 public:
  AppDelegate() = default;
};

}  // namespace quillane
