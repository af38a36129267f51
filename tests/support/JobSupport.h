#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/Log.h"

namespace quillane::testsupport {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Calls `action` on the logging thread when a log line starts with `prefix` for the n-th
// time: a way to act at an exact step of a job.
class OnLogLine {
 public:
  OnLogLine(std::string prefix, int n, std::function<void()> action)
      : prefix_(std::move(prefix)), n_(n), action_(std::move(action)) {
    previous_ = setLogSink([this](std::string_view line) {
      if (line.starts_with(prefix_) && ++seen_ == n_) action_();
    });
  }
  ~OnLogLine() { setLogSink(std::move(previous_)); }
  OnLogLine(const OnLogLine&) = delete;
  OnLogLine& operator=(const OnLogLine&) = delete;
  int seen() const { return seen_; }

 private:
  std::string prefix_;
  int n_;
  int seen_ = 0;
  std::function<void()> action_;
  LogSink previous_;
};

// Checks a PSD file with psd-tools (tests/support/psdcheck.py, which says what it checks)
// under Debian's interpreter; answers the faults found, empty when there are none.
inline std::string psdFaults(const std::vector<std::string>& arguments) {
  std::string command =
      "/usr/bin/python3 -W ignore " QUILLANE_SOURCE_DIR "/tests/support/psdcheck.py";
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  command += " 2>&1";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
  if (!pipe) return "psdcheck.py did not start";
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
  const int status = pclose(pipe.release());
  return status == 0 ? output : output + "(exit status " + std::to_string(status) + ")";
}

}  // namespace quillane::testsupport
