#include "html/NodeString.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>

namespace quellion {

static_assert(sizeof(TNodeString) == sizeof(void*));
static_assert(TNodeString::kInlineCapacity < 128, "the inline length has seven bits");

void TNodeString::Assign(const char* s, size_t n) {
  if (n <= kInlineCapacity) {
    SetInline(s, n);
    return;
  }
  if (n > std::numeric_limits<uint32_t>::max())
    throw std::length_error("TNodeString: string longer than 4 GiB");
  auto* block = static_cast<char*>(std::malloc(kHeader + n));
  if (!block)
    throw std::bad_alloc();
  const auto length = static_cast<uint32_t>(n);
  std::memcpy(block, &length, sizeof(length));
  std::memcpy(block + kHeader, s, n);
  std::memcpy(raw_, &block, sizeof(block));
}

void TNodeString::assign(const char* s, size_t n) {
  // Build the new value aside first: s may point into this string.
  TNodeString fresh;
  fresh.Assign(s, n);
  *this = std::move(fresh);
}

void TNodeString::Release() noexcept {
  if (!IsInline())
    std::free(const_cast<char*>(Block()));
}

std::ostream& operator<<(std::ostream& out, const TNodeString& s) {
  return out << s.view();
}

}  // namespace quellion
