#include "platform/StringStream.h"

#include <algorithm>
#include <cstring>

namespace quellion {

size_t TStringStream::Write(const void* buffer, size_t len) {
  // A position beyond the end (possible after SetPosition) pads with zero bytes.
  data_.resize(position_ + len);
  if (len > 0)
    std::memcpy(data_.data() + position_, buffer, len);
  position_ += len;
  return len;
}

size_t TStringStream::Read(void* buffer, size_t len) {
  if (position_ >= data_.size())
    return 0;
  const size_t n = std::min(len, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

void TStringStream::SetPosition(size_t position) {
  position_ = position;
}

}  // namespace quellion
