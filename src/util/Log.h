#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillane {

// Diagnostics: free-form lines, one per call. Nothing depends on them; where they go is set
// once by the front end (stderr with -v, nowhere by default) or by a test that captures them.
using LogSink = std::function<void(std::string_view line)>;

// Replaces the sink; an empty sink drops every line. Returns the previous sink.
LogSink setLogSink(LogSink sink);

// Writes one line. printf-style; arguments are only ever passed as values, never as formats.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether a sink takes the lines: work done only for a log line can be skipped without one.
bool logIsKept();
// Writes one line as it is.
void logText(std::string_view line);

// A sink that writes each line to stderr, for a verbose front end.
void logToStderr(std::string_view line);

}  // namespace quillane
