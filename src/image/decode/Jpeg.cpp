#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "image/colour/ColourConversion.h"
#include "image/decode/Decoders.h"
#include "image/decode/JpegIccParts.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

// Real encoders write a few dozen scans at most; a crafted progressive file can hold
// thousands of tiny scans, each making libjpeg walk the whole coefficient buffer again.
constexpr int kMaxProgressiveScans = 500;

// Columns decoded on either side of the kept ones when a row is cropped, and rows decoded
// above them when rows are skipped: libjpeg smooths chroma across neighbouring samples (and
// a progressive image's blocks across neighbouring blocks), so kept pixels come out as a
// whole decode gives them only while the blocks beside them are decoded too. Two iMCUs of
// the widest sampling (4 x 8 pixels) cover every neighbour libjpeg reads.
constexpr JDIMENSION kMarginColumns = 2 * 4 * DCTSIZE;
constexpr JDIMENSION kMarginRows = 2 * 4 * DCTSIZE;

constexpr UINT8 kJfifUnitsDotsPerInch = 1;
constexpr UINT8 kJfifUnitsDotsPerCentimetre = 2;

struct ErrorManager {
  jpeg_error_mgr base{};
  std::jmp_buf jump{};
  bool tooManyScans = false;
};

// libjpeg's error handler must not return; it jumps back into guarded() below.
[[noreturn]] void failDecoding(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (corrupt data, a premature end of the stream filled with grey) end the decode:
// half an image is not an image.
void warningIsFailure(j_common_ptr cinfo, int level) {
  if (level < 0) failDecoding(cinfo);
}

void limitScans(j_common_ptr cinfo) {
  const auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > kMaxProgressiveScans) {
    reinterpret_cast<ErrorManager*>(cinfo->err)->tooManyScans = true;
    failDecoding(cinfo);
  }
}

constexpr int kIccMarker = JPEG_APP0 + 2;

// The decompressor with its error and progress managers; destroyed with the session.
struct Session {
  Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  jpeg_decompress_struct cinfo{};
  ErrorManager errors;
  jpeg_progress_mgr progress{};
  std::span<const std::uint8_t> input;
  // The columns to decode from cropLeft (libjpeg moves it left to an iMCU's edge), the rows
  // to skip, and where the next row goes: a row of the bitmap's pixels or a scratch row.
  JDIMENSION cropLeft = 0;
  JDIMENSION cropWidth = 0;
  JDIMENSION skippedRows = 0;
  JSAMPROW row = nullptr;
  // Last, so it runs first. Destroying a decompressor never created is a no-op.
  std::unique_ptr<jpeg_decompress_struct, decltype(&jpeg_destroy_decompress)> destroyer{
      &cinfo, &jpeg_destroy_decompress};
};

// Runs one step of libjpeg calls; false when libjpeg reported an error or warning. This is
// the only place that catches libjpeg's longjmp: the steps hold no C++ objects, so jumping
// out of them skips no destructor.
bool guarded(Session& session, void (*step)(Session&)) {
  if (setjmp(session.errors.jump) != 0) return false;
  step(session);
  return true;
}

void createAndReadHeader(Session& s) {
  jpeg_create_decompress(&s.cinfo);
  // libjpeg's own buffers (a progressive image's coefficients) stay within the image budget.
  s.cinfo.mem->max_memory_to_use =
      static_cast<long>(std::min<std::size_t>(imageByteBudget(), LONG_MAX));
  s.progress.progress_monitor = limitScans;
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, s.input.data(), static_cast<unsigned long>(s.input.size()));
  jpeg_save_markers(&s.cinfo, kIccMarker, 0xFFFF);
  jpeg_read_header(&s.cinfo, TRUE);
}

void startDecompress(Session& s) { jpeg_start_decompress(&s.cinfo); }

// Decodes only cropWidth columns from cropLeft from here on.
void cropColumns(Session& s) { jpeg_crop_scanline(&s.cinfo, &s.cropLeft, &s.cropWidth); }

// Passes over skippedRows rows without converting them to pixels.
void skipRows(Session& s) {
  if (jpeg_skip_scanlines(&s.cinfo, s.skippedRows) != s.skippedRows)
    failDecoding(reinterpret_cast<j_common_ptr>(&s.cinfo));
}

// Reads one row into row; the caller converts it between calls.
void readRow(Session& s) {
  if (jpeg_read_scanlines(&s.cinfo, &s.row, 1) != 1)
    failDecoding(reinterpret_cast<j_common_ptr>(&s.cinfo));
}

void finishDecompress(Session& s) { jpeg_finish_decompress(&s.cinfo); }

// Why the session failed: the declared size when it is refused, else what libjpeg reported
// last.
DecodeError failureOf(const Session& s, const DecodeRequest& request) {
  const long long width = s.cinfo.image_width;
  const long long height = s.cinfo.image_height;
  if (const auto refused = checkImageSize(width, height, request)) return *refused;
  const auto failure = [&](DecodeFailure kind) { return DecodeError{kind, width, height}; };
  if (s.errors.tooManyScans) return failure(DecodeFailure::Unsupported);
  switch (s.errors.base.msg_code) {
    case JWRN_JPEG_EOF:
    case JERR_INPUT_EOF:
      return failure(DecodeFailure::CutShort);
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
      return failure(DecodeFailure::OutOfMemory);
    case JERR_IMAGE_TOO_BIG:  // a legal side above libjpeg's 65500
    case JERR_SOF_UNSUPPORTED:
    case JERR_NOT_COMPILED:
    case JERR_ARITH_NOTIMPL:
      return failure(DecodeFailure::Unsupported);
    default:
      return failure(DecodeFailure::Unreadable);
  }
}

bool isCmyk(const jpeg_decompress_struct& cinfo) {
  return cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
}

// The ICC profile of the saved APP2 markers.
std::vector<std::uint8_t> iccProfileOf(const jpeg_decompress_struct& cinfo) {
  std::vector<std::span<const std::uint8_t>> payloads;
  for (const jpeg_marker_struct* m = cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == kIccMarker) payloads.emplace_back(m->data, m->data_length);
  }
  return joinedIccParts(payloads);
}

// Photoshop (and every writer that adds an Adobe marker) stores CMYK inverted: 255 is no ink.
void cmykRowToRgba(const std::uint8_t* cmyk, std::uint8_t* rgba, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, rgba += 4) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned ink = inverted ? cmyk[c] : 255u - cmyk[c];
      rgba[c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
    }
    rgba[3] = 255;
  }
}

// The conversion of CMYK pixels through the profile into sRGB, when it is a CMYK profile.
std::optional<ColourConversion> cmykConversion(std::span<const std::uint8_t> profile,
                                               bool inverted) {
  const auto cmyk = ColourProfile::read(profile);
  if (!cmyk || cmyk->data() != ColourProfile::Data::Cmyk) return std::nullopt;
  return ColourConversion::between(*cmyk, ColourProfile::srgb(), inverted);
}

void readResolution(const jpeg_decompress_struct& cinfo, DecodedImage& decoded) {
  if (!cinfo.saw_JFIF_marker) return;
  const auto x = static_cast<float>(cinfo.X_density);
  const auto y = static_cast<float>(cinfo.Y_density);
  if (cinfo.density_unit == kJfifUnitsDotsPerInch) {
    decoded.resolution = Resolution::declared(x, y);
  } else if (cinfo.density_unit == kJfifUnitsDotsPerCentimetre) {
    decoded.resolution = Resolution::fromDotsPerCentimetre(x, y);
  }
}

// Decodes only the columns of the kept part from left, and those beside it that libjpeg
// reads for them; false when libjpeg refuses. Answers the kept part's first column within
// the decoded rows.
std::optional<JDIMENSION> cropToPart(Session& s, JDIMENSION left, JDIMENSION width) {
  const JDIMENSION fullWidth = s.cinfo.output_width;
  const JDIMENSION from = left > kMarginColumns ? left - kMarginColumns : 0;
  const JDIMENSION to = std::min(fullWidth, left + width + kMarginColumns);
  if (from == 0 && to == fullWidth) return left;
  s.cropLeft = from;
  s.cropWidth = to - from;
  if (!guarded(s, cropColumns)) return std::nullopt;
  return left - s.cropLeft;
}

// Decodes the bitmap's rows, the part of the image from (left, top): rows of its width go
// straight into the bitmap, others (wider, or CMYK) through a scratch row. The rows above the
// part are skipped but for a margin, the rows below it not decoded.
bool readPixels(Session& s, Bitmap& bitmap, JDIMENSION left, JDIMENSION top,
                const ColourConversion* cmykProfile) {
  if (bitmap.pixels.empty()) return true;
  const auto column = cropToPart(s, left, static_cast<JDIMENSION>(bitmap.width));
  if (!column) return false;
  s.skippedRows = top > kMarginRows ? top - kMarginRows : 0;
  if (s.skippedRows > 0 && !guarded(s, skipRows)) return false;
  const bool cmyk = isCmyk(s.cinfo);
  const bool direct = !cmyk && s.cinfo.output_width == static_cast<JDIMENSION>(bitmap.width);
  std::vector<std::uint8_t> scratch(static_cast<std::size_t>(s.cinfo.output_width) * 4);
  const std::uint8_t* kept = scratch.data() + std::size_t{4} * *column;
  const bool inverted = s.cinfo.saw_Adobe_marker;
  const JDIMENSION end = top + static_cast<JDIMENSION>(bitmap.height);
  while (s.cinfo.output_scanline < end) {
    const JDIMENSION y = s.cinfo.output_scanline;
    std::uint8_t* out = y < top ? nullptr : bitmap.row(static_cast<int>(y - top));
    s.row = direct && out ? out : scratch.data();
    if (!guarded(s, readRow)) return false;
    if (!out) continue;  // a row of the margin above
    if (cmyk && cmykProfile != nullptr) {
      cmykProfile->convertCmykRow(kept, out, bitmap.width);
    } else if (cmyk) {
      cmykRowToRgba(kept, out, bitmap.width, inverted);
    } else if (!direct) {
      std::copy_n(kept, bitmap.rowBytes(), out);
    }
  }
  // A decode stopped above the last row ends with the session; a whole one reads to the end.
  return s.cinfo.output_scanline < s.cinfo.output_height || guarded(s, finishDecompress);
}

// Reads the header of the bytes into the session; false when it cannot be read.
bool readHeader(Session& s, std::span<const std::uint8_t> bytes) {
  s.cinfo.err = jpeg_std_error(&s.errors.base);
  s.errors.base.error_exit = failDecoding;
  s.errors.base.emit_message = warningIsFailure;
  s.input = bytes;
  return !bytes.empty() && guarded(s, createAndReadHeader);
}

}  // namespace

std::optional<Size> jpegPixelSize(std::span<const std::uint8_t> bytes) {
  Session s;
  if (!readHeader(s, bytes)) return std::nullopt;
  return Size{static_cast<int>(s.cinfo.image_width), static_cast<int>(s.cinfo.image_height)};
}

Decoded<DecodedImage> decodeJpeg(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request) {
  Session s;
  if (bytes.empty()) return DecodeFailure::Unreadable;
  if (!readHeader(s, bytes)) return failureOf(s, request);
  const long long width = s.cinfo.image_width;
  const long long height = s.cinfo.image_height;
  if (const auto refused = checkImageSize(width, height, request)) return *refused;

  s.cinfo.out_color_space = isCmyk(s.cinfo) ? JCS_CMYK : JCS_EXT_RGBA;
  if (!guarded(s, startDecompress)) return failureOf(s, request);
  if (s.cinfo.output_components != 4) return DecodeFailure::Unsupported;

  // Every row is written below, or the image is refused.
  auto bitmap =
      createBitmap(request.keptWidth(width), request.keptHeight(height), BitmapFill::Nothing);
  if (!bitmap) return bitmap.error();
  std::vector<std::uint8_t> profile = iccProfileOf(s.cinfo);
  std::optional<ColourConversion> cmykProfile;
  if (isCmyk(s.cinfo) && !profile.empty()) {
    if (request.cmykThroughProfile) cmykProfile = cmykConversion(profile, s.cinfo.saw_Adobe_marker);
    profile.clear();  // the pixels come out in sRGB
  }
  const auto left = static_cast<JDIMENSION>(std::min(request.keepLeft, width));
  const auto top = static_cast<JDIMENSION>(std::min(request.keepTop, height));
  if (!readPixels(s, *bitmap, left, top, cmykProfile ? &*cmykProfile : nullptr))
    return failureOf(s, request);

  bitmap->knownOpaque = true;  // JPEG has no transparency
  DecodedImage decoded{std::move(*bitmap), {}, std::move(profile)};
  readResolution(s.cinfo, decoded);
  return decoded;
}

}  // namespace quillane
