#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <string>
#include <string_view>

namespace quellion {

// A node's own copy of one string in a single pointer-sized handle. Strings of up to
// sizeof(void*) - 1 bytes ("PCDATA", "!", "CDATA", most tag names, the line feeds
// between tags) live inside the handle; longer ones in one exactly sized heap block
// holding a 32-bit length and the bytes. Nothing refers into the page text: a tree
// outlives the page it was parsed from. Reads like a const std::string.
class TNodeString {
 public:
  static constexpr size_t kInlineCapacity = sizeof(void*) - 1;

  TNodeString() noexcept { SetInline(nullptr, 0); }
  explicit TNodeString(std::string_view s) { Assign(s.data(), s.size()); }
  TNodeString(const TNodeString& other) { Assign(other.data(), other.size()); }
  TNodeString(TNodeString&& other) noexcept {
    std::memcpy(raw_, other.raw_, sizeof(raw_));
    other.SetInline(nullptr, 0);
  }
  ~TNodeString() { Release(); }

  TNodeString& operator=(const TNodeString& other) {
    if (this != &other)
      assign(other.data(), other.size());
    return *this;
  }
  TNodeString& operator=(TNodeString&& other) noexcept {
    if (this != &other) {
      Release();
      std::memcpy(raw_, other.raw_, sizeof(raw_));
      other.SetInline(nullptr, 0);
    }
    return *this;
  }
  TNodeString& operator=(std::string_view s) {
    assign(s.data(), s.size());
    return *this;
  }
  TNodeString& operator=(const char* s) { return *this = std::string_view(s); }
  TNodeString& operator=(const std::string& s) { return *this = std::string_view(s); }

  // Replaces the contents; s may point into this string itself.
  void assign(const char* s, size_t n);
  void assign(std::string_view s) { assign(s.data(), s.size()); }
  void clear() noexcept {
    Release();
    SetInline(nullptr, 0);
  }

  const char* data() const noexcept {
    return IsInline() ? reinterpret_cast<const char*>(raw_) + kDataOffset : Block() + kHeader;
  }
  size_t size() const noexcept {
    if (IsInline())
      return raw_[kTagIndex] >> 1;
    uint32_t n;
    std::memcpy(&n, Block(), sizeof(n));
    return n;
  }
  size_t length() const noexcept { return size(); }
  bool empty() const noexcept { return size() == 0; }
  char operator[](size_t i) const { return data()[i]; }
  const char* begin() const noexcept { return data(); }
  const char* end() const noexcept { return data() + size(); }

  std::string_view view() const noexcept { return {data(), size()}; }
  operator std::string_view() const noexcept { return view(); }
  std::string str() const { return std::string(data(), size()); }
  operator std::string() const { return str(); }

  friend bool operator==(const TNodeString& a, const TNodeString& b) noexcept {
    return a.view() == b.view();
  }
  friend bool operator==(const TNodeString& a, std::string_view b) noexcept {
    return a.view() == b;
  }
  friend bool operator==(const TNodeString& a, const char* b) noexcept {
    return a.view() == std::string_view(b);
  }
  friend bool operator==(const TNodeString& a, const std::string& b) noexcept {
    return a.view() == std::string_view(b);
  }

  friend std::string operator+(const std::string& a, const TNodeString& b) {
    std::string out;
    out.reserve(a.size() + b.size());
    out.append(a).append(b.data(), b.size());
    return out;
  }
  friend std::string operator+(std::string&& a, const TNodeString& b) {
    a.append(b.data(), b.size());
    return std::move(a);
  }
  friend std::string operator+(const char* a, const TNodeString& b) { return std::string(a) + b; }
  friend std::string operator+(const TNodeString& a, const std::string& b) { return a.str() + b; }
  friend std::string operator+(const TNodeString& a, const char* b) { return a.str() + b; }

 private:
  // The handle's byte that is the lowest-order byte of a stored pointer: heap blocks
  // are at least 2-aligned, so an odd value there marks the inline form, whose length
  // stands in the upper seven bits of that byte and whose bytes fill the rest.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  static constexpr size_t kTagIndex = sizeof(void*) - 1;
#else
  static constexpr size_t kTagIndex = 0;
#endif
  static constexpr size_t kDataOffset = kTagIndex == 0 ? 1 : 0;
  static constexpr size_t kHeader = sizeof(uint32_t);

  bool IsInline() const noexcept {
    return (raw_[kTagIndex] & 1) != 0;
  }
  const char* Block() const noexcept {
    const char* p;
    std::memcpy(&p, raw_, sizeof(p));
    return p;
  }
  void SetInline(const char* s, size_t n) noexcept {
    std::memset(raw_, 0, sizeof(raw_));
    raw_[kTagIndex] = static_cast<unsigned char>((n << 1) | 1);
    if (n)
      std::memcpy(raw_ + kDataOffset, s, n);
  }
  void Assign(const char* s, size_t n);
  void Release() noexcept;

  alignas(void*) unsigned char raw_[sizeof(void*)];
};

std::ostream& operator<<(std::ostream& out, const TNodeString& s);

}  // namespace quellion
