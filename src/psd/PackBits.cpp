#include <cstdio>
#include <cstring>

#include "psd/ByteBuffer.h"

namespace quillane {
namespace {

// A literal packet holds at most 128 bytes; two more are kept pending because they may still
// open a run with the next sample.
constexpr int kMaxLiteral = 128;
constexpr int kPendingCapacity = kMaxLiteral + 2;
// A run packet repeats its byte at most 127 times (header 0x82); longer runs are split.
constexpr int kMaxRun = 127;

// Writes packets straight into a region of the output that is large enough for the worst
// case, so that the inner loop never checks the buffer's capacity.
class PacketWriter {
 public:
  explicit PacketWriter(std::uint8_t* out) : start_(out), out_(out) {}

  void literal(const std::uint8_t* bytes, int count) {
    *out_++ = static_cast<std::uint8_t>(count - 1);
    std::memcpy(out_, bytes, static_cast<std::size_t>(count));
    out_ += count;
  }
  void run(std::uint8_t byte, int count) {
    *out_++ = static_cast<std::uint8_t>(257 - count);
    *out_++ = byte;
  }
  std::size_t written() const { return static_cast<std::size_t>(out_ - start_); }

 private:
  std::uint8_t* start_;
  std::uint8_t* out_;
};

// PackBits of the samples data[pos], data[pos + skip], ... below end. Runs are recognised
// once their third byte is read; two equal bytes stay inside a literal.
std::size_t encode(PacketWriter& writer, const std::uint8_t* data, std::uint64_t pos,
                   std::uint64_t end, std::uint64_t skip) {
  std::uint8_t pending[kPendingCapacity];
  int count = 0;
  // The last sample and how many equal ones end the pending literal (kept out of memory).
  std::uint8_t last = 0;
  int same = 0;
  for (;;) {
    const std::uint8_t cur = data[pos];
    pending[count++] = cur;
    same = same > 0 && cur == last ? same + 1 : 1;
    last = cur;
    std::uint64_t next = pos + skip;
    if (same == 3) {
      if (count > 3) writer.literal(pending, count - 3);
      int length = 3;
      std::uint64_t q = pos;
      bool differs = false;
      while (length < kMaxRun) {
        if (q + skip >= end) break;
        if (data[q + skip] != cur) {
          differs = true;
          break;
        }
        q += skip;
        ++length;
      }
      writer.run(cur, length);
      count = 0;
      same = 0;
      next = q + skip;
      if (differs) {
        last = data[next];
        pending[count++] = last;
        same = 1;
        next += skip;
      }
    } else if (count == kPendingCapacity) {
      writer.literal(pending, kMaxLiteral);
      pending[0] = pending[kMaxLiteral];
      pending[1] = pending[kMaxLiteral + 1];
      count = 2;
    }
    if (next >= end) break;
    pos = next;
  }
  if (count > kMaxLiteral) {
    writer.literal(pending, kMaxLiteral);
    writer.literal(pending + kMaxLiteral, count - kMaxLiteral);
  } else if (count > 0) {
    writer.literal(pending, count);
  }
  return writer.written();
}

}  // namespace

std::size_t appendPackedBitsOneByOne(ByteBuffer& out, std::span<const std::uint8_t> data,
                                     ByteRange range, int skip) {
  if (range.length == 0 || skip < 1) return 0;
  const std::uint64_t step = static_cast<std::uint64_t>(skip);
  const std::uint64_t samples = (range.length + step - 1) / step;
  // Worst case: every sample in a literal, one header byte per 128 samples.
  const std::size_t worst = samples + (samples + kMaxLiteral - 1) / kMaxLiteral;
  const std::size_t before = out.size();
  out.resize(before + worst);
  PacketWriter writer(out.data() + before);
  const std::size_t written = encode(writer, data.data(), range.location,
                                     std::uint64_t{range.location} + range.length, step);
  out.resize(before + written);
  return written;
}

ByteBuffer packedBitsForRange(std::span<const std::uint8_t> data, ByteRange range, int skip) {
  ByteBuffer out;
  appendPackedBits(out, data, range, skip);
  return out;
}

std::string packedBitsDescription(std::span<const std::uint8_t> packed) {
  std::string text;
  char piece[64];
  long total = 0;
  std::size_t pos = 0;
  while (pos < packed.size()) {
    const int header = static_cast<std::int8_t>(packed[pos]);
    if (header < 0) {
      const unsigned byte = pos + 1 < packed.size() ? packed[pos + 1] : 0u;
      std::snprintf(piece, sizeof piece, "Printing %u %d times. ", byte, 1 - header);
      total += 1 - header;
      pos += 2;
    } else {
      std::snprintf(piece, sizeof piece, "Printing %d literal bytes. ", header + 1);
      total += header + 1;
      pos += static_cast<std::size_t>(header) + 2;
    }
    text += piece;
  }
  std::snprintf(piece, sizeof piece, "Total: %ld bytes decoded.", total);
  return text + piece;
}

}  // namespace quillane
