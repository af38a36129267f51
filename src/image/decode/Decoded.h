#pragma once

#include <optional>
#include <utility>

namespace quillane {

// Why an image cannot be decoded.
enum class DecodeFailure {
  Unreadable,   // not an image, or corrupt
  CutShort,     // the bytes end before the data the file declares
  Unsupported,  // a legal variant, or one beyond the limits set against decompression bombs
  TooLarge,     // a side above kMaxImageSide, or a block to decode far larger than the part kept
  OutOfMemory,  // a raster above imageByteBudget(), or memory that could not be had
};

// The failure, with the width and height the file declares where they are known (0 if not).
struct DecodeError {
  DecodeFailure kind = DecodeFailure::Unreadable;
  long long width = 0;
  long long height = 0;
  int systemError = 0;  // errno, for a file that could not be opened or read
};

// A decoder's answer: the value, or why there is none.
template <class T>
class Decoded {
 public:
  Decoded(T value) : value_(std::move(value)) {}
  Decoded(DecodeError error) : error_(error) {}
  Decoded(DecodeFailure kind) : error_{kind} {}

  explicit operator bool() const { return value_.has_value(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  // Meaningful only when there is no value.
  const DecodeError& error() const { return error_; }

 private:
  std::optional<T> value_;
  DecodeError error_;
};

}  // namespace quillane
