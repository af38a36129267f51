#include "util/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "util/PrintableText.h"

namespace quillane {
namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

LogSink& currentSink() {
  static LogSink sink;
  return sink;
}

}  // namespace

LogSink setLogSink(LogSink sink) {
  std::lock_guard lock(sinkMutex());
  std::swap(currentSink(), sink);
  return sink;
}

bool logIsKept() {
  std::lock_guard lock(sinkMutex());
  return static_cast<bool>(currentSink());
}

void logText(std::string_view line) {
  std::lock_guard lock(sinkMutex());
  if (currentSink()) currentSink()(line);
}

void logLine(const char* format, ...) {
  {
    std::lock_guard lock(sinkMutex());
    if (!currentSink()) return;  // skip the formatting when nobody listens
  }
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::vector<char> text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  logText(std::string_view(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0));
}

void logToStderr(std::string_view line) {
  // Log lines carry file names: escaped, they cannot drive the terminal.
  std::fprintf(stderr, "%s\n", printableText(line).c_str());
}

}  // namespace quillane
