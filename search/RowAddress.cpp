#include "search/RowAddress.h"

#include "platform/TextUtil.h"

namespace quellion {
namespace {

constexpr std::string_view kHttp = "http://";

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The scheme before the address's first ':' ("" for none). RFC 3986: ALPHA *( ALPHA /
// DIGIT / "+" / "-" / "." ). A name followed by digits up to the end or a '/', '?' or
// '#' is a host and its port.
std::string_view SchemeOf(std::string_view address) {
  if (address.empty() || !IsAlpha(address[0]))
    return {};
  size_t colon = 1;
  while (colon < address.size() &&
         (IsAlpha(address[colon]) || IsDigit(address[colon]) || address[colon] == '+' ||
          address[colon] == '-' || address[colon] == '.'))
    ++colon;
  if (colon >= address.size() || address[colon] != ':')
    return {};
  size_t end = colon + 1;
  while (end < address.size() && IsDigit(address[end]))
    ++end;
  const bool port = end > colon + 1 && (end == address.size() || address[end] == '/' ||
                                        address[end] == '?' || address[end] == '#');
  return port ? std::string_view() : address.substr(0, colon);
}

}  // namespace

std::string StoredAddress(std::string address) {
  if (StartsWithTextAscii(address, kHttp))
    address.erase(0, kHttp.size());
  return address;
}

std::string FullAddress(std::string_view stored) {
  if (stored.empty())
    return {};
  const std::string_view scheme = SchemeOf(stored);
  if (SameTextAscii(scheme, "https") || SameTextAscii(scheme, "http"))
    return std::string(stored);
  std::string full(kHttp);
  full += stored;
  return full;
}

bool IsWebAddress(std::string_view stored) {
  const std::string_view scheme = SchemeOf(stored);
  return scheme.empty() || SameTextAscii(scheme, "http") || SameTextAscii(scheme, "https");
}

}  // namespace quellion
