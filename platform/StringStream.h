#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quellion {

// An in-memory stream over one 8-bit string with a position.
//
// A write of k bytes at position q makes the content exactly q + k bytes long
// (anything beyond is cut off), copies the bytes to q onwards and moves the
// position to q + k. Setting the position to 0 before a request therefore makes
// the content, after the request, exactly what the request wrote; a request that
// wrote nothing leaves the previous content in place.
class TStringStream {
 public:
  TStringStream() = default;
  explicit TStringStream(std::string initial) : data_(std::move(initial)) {}

  // Returns the number of bytes written (always len).
  size_t Write(const void* buffer, size_t len);
  // Reads up to len bytes from the position onwards; returns the number read.
  size_t Read(void* buffer, size_t len);

  size_t Position() const { return position_; }
  void SetPosition(size_t position);
  size_t Size() const { return data_.size(); }
  const std::string& DataString() const { return data_; }

 private:
  std::string data_;
  size_t position_ = 0;
};

}  // namespace quellion
