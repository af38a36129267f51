#include "image/decode/TiffMemory.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace quillane {
namespace {

// No single buffer libtiff makes for us (a strip or tile, a tag array) may exceed this. An
// honest strip of an image within kMaxImageSide fits; a crafted sample count or tag length
// asks for far more from a file of a few bytes.
constexpr tmsize_t kMaxTiffSingleAllocation = tmsize_t{2} << 30;

TiffMemoryFile& fileOf(thandle_t handle) { return *static_cast<TiffMemoryFile*>(handle); }

tmsize_t readMemory(thandle_t handle, void* out, tmsize_t wanted) {
  TiffMemoryFile& file = fileOf(handle);
  if (wanted <= 0) return 0;
  const std::size_t count = file.reader.copyOut(out, static_cast<std::size_t>(wanted));
  if (count < static_cast<std::size_t>(wanted)) file.ranOut = true;
  return static_cast<tmsize_t>(count);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
  TiffMemoryFile& file = fileOf(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = file.reader.position();
  if (whence == SEEK_END) base = file.reader.size();
  // Offsets are unsigned: a backwards seek arrives as a wrapped value and wraps back.
  file.reader.seek(base + offset);
  return file.reader.position();
}

int closeMemory(thandle_t) { return 0; }
toff_t sizeOfMemory(thandle_t handle) { return fileOf(handle).reader.size(); }
int noMapping(thandle_t, void**, toff_t*) { return 0; }
void noUnmapping(thandle_t, void*, toff_t) {}

// Per-handle handlers: messages are dropped (they would go to stderr), errors remembered.
int recordError(TIFF*, void* userData, const char*, const char*, va_list) {
  static_cast<TiffMemoryFile*>(userData)->failed = true;
  return 1;
}
int dropWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff's process-wide handlers print to stderr; a few messages bypass the per-handle ones.
void silenceGlobalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

using TiffOptions = std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)>;

}  // namespace

TiffHandle openTiffMemory(TiffMemoryFile& file) {
  silenceGlobalHandlers();
  TiffOptions options(TIFFOpenOptionsAlloc(), &TIFFOpenOptionsFree);
  if (!options) return {nullptr, &TIFFClose};
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffSingleAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), recordError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), dropWarning, &file);
  // "m": never map the file; it is in memory already.
  return {TIFFClientOpenExt("memory", "rm", &file, readMemory, refuseWrite, seekMemory, closeMemory,
                            sizeOfMemory, noMapping, noUnmapping, options.get()),
          &TIFFClose};
}

}  // namespace quillane
