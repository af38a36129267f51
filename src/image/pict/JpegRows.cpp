#include "image/pict/JpegRows.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

#include <vector>

#include "util/CheckedSize.h"

namespace quillane {
namespace {

// A crafted progressive JPEG can hold thousands of tiny scans, each making libjpeg walk its
// whole coefficient buffer again; real encoders write a few dozen.
constexpr int kMaxProgressiveScans = 500;
// libjpeg's own working memory (a progressive JPEG keeps every coefficient); a JPEG inside a
// picture that needs more is refused rather than allowed to exhaust memory.
constexpr long kMaxJpegWorkingBytes = 512L << 20;

struct ErrorManager {
  jpeg_error_mgr base{};
  std::jmp_buf jump{};
};

[[noreturn]] void failDecoding(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// A warning (corrupt data, a premature end filled with grey) ends the decode.
void warningIsFailure(j_common_ptr cinfo, int level) {
  if (level < 0) failDecoding(cinfo);
}

void limitScans(j_common_ptr cinfo) {
  const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxProgressiveScans) failDecoding(cinfo);
}

// The decompressor with its error and progress managers, destroyed with the session.
struct Session {
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session() { jpeg_destroy_decompress(&cinfo); }  // also safe before creation: mem is null

  jpeg_decompress_struct cinfo{};
  ErrorManager errors;
  jpeg_progress_mgr progress{};
  std::span<const std::uint8_t> input;
  JSAMPROW row = nullptr;
};

// The only place that catches libjpeg's longjmp: the steps hold no C++ objects, so jumping
// out of them skips no destructor.
bool guarded(Session& session, void (*step)(Session&)) {
  if (setjmp(session.errors.jump) != 0) return false;
  step(session);
  return true;
}

void readHeader(Session& s) {
  jpeg_create_decompress(&s.cinfo);
  s.cinfo.mem->max_memory_to_use = kMaxJpegWorkingBytes;
  s.progress.progress_monitor = limitScans;
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, s.input.data(), static_cast<unsigned long>(s.input.size()));
  jpeg_read_header(&s.cinfo, TRUE);
}

void start(Session& s) {
  s.cinfo.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&s.cinfo);
}

void readRow(Session& s) { jpeg_read_scanlines(&s.cinfo, &s.row, 1); }

void prepare(Session& session, std::span<const std::uint8_t> data) {
  session.cinfo.err = jpeg_std_error(&session.errors.base);
  session.errors.base.error_exit = failDecoding;
  session.errors.base.emit_message = warningIsFailure;
  session.input = data;
}

bool hasRgbOutput(const jpeg_decompress_struct& cinfo) {
  return cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_GRAYSCALE ||
         cinfo.jpeg_color_space == JCS_RGB;
}

}  // namespace

bool drawJpeg(std::span<const std::uint8_t> data, const JpegPlacement& placement) {
  Session session;
  prepare(session, data);
  if (!guarded(session, readHeader) || !hasRgbOutput(session.cinfo)) return false;
  const JDIMENSION jpegWidth = session.cinfo.image_width;
  const JDIMENSION jpegHeight = session.cinfo.image_height;
  if (jpegWidth > kMaxPsdSide || jpegHeight > kMaxPsdSide) return false;
  const int width = static_cast<int>(jpegWidth);
  const int height = static_cast<int>(jpegHeight);
  std::optional<RowPlacer> placer = placement(width, height);
  if (!placer) return false;
  if (placer->finished()) return true;

  if (!guarded(session, start) || session.cinfo.output_width != jpegWidth) return false;
  const auto rowBytes = rgbaByteCount(width, 1);
  if (!rowBytes) return false;
  std::vector<std::uint8_t> row(*rowBytes);
  session.row = row.data();
  for (int y = 0; y < height && !placer->finished(); ++y) {
    if (!guarded(session, readRow)) return false;
    placer->placeRow(y, row.data());
  }
  return true;
}

}  // namespace quillane
