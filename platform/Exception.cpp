#include "platform/Exception.h"

#include <cstdarg>
#include <cstdio>

namespace quellion {

EListError::EListError(int index)
    : EException(Format("List index out of bounds (%d)", index)), Index(index) {}

std::string Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out;
  if (size > 0) {
    out.resize(static_cast<size_t>(size));
    std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  }
  va_end(args);
  return out;
}

}  // namespace quellion
