#include "search/AddressKey.h"

#include <algorithm>

#include "platform/TextUtil.h"

namespace quellion {
namespace {

// The length of a leading "name://" (letters, digits, "+", "-", "." after a letter),
// or 0 when the address starts with none.
size_t SchemeLength(std::string_view address) {
  size_t i = 0;
  while (i < address.size()) {
    const char c = address[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!(letter || (i > 0 && other)))
      break;
    ++i;
  }
  if (i == 0 || address.substr(i, 3) != "://")
    return 0;
  return i + 3;
}

}  // namespace

std::string AgreementKey(std::string_view address) {
  std::string_view rest = address;
  std::string_view defaultPort = "80";
  if (const size_t scheme = SchemeLength(address)) {
    const std::string_view name = address.substr(0, scheme - 3);
    if (SameTextAscii(name, "https")) {
      defaultPort = "443";
    } else if (!SameTextAscii(name, "http")) {
      // Kept apart from every http address by the scheme it starts with.
      return std::string(address);
    }
    rest = address.substr(scheme);
  }

  const size_t hash = rest.find('#');
  if (hash != std::string_view::npos)
    rest = rest.substr(0, hash);
  const size_t authorityEnd = std::min(rest.find_first_of("/?"), rest.size());
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view path = rest.substr(authorityEnd);
  std::string_view query;
  if (const size_t question = path.find('?'); question != std::string_view::npos) {
    query = path.substr(question);
    path = path.substr(0, question);
  }

  std::string key;
  key.reserve(address.size());
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    key.append(authority.substr(0, at + 1));
    authority = authority.substr(at + 1);
  }
  // The port follows the last colon unless that colon sits inside an IPv6 literal.
  std::string_view host = authority;
  std::string_view port;
  const size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
  }
  if (StartsWithTextAscii(host, "www."))
    host.remove_prefix(4);
  key.append(ToLowerAscii(host));
  if (!port.empty() && port != defaultPort) {
    key += ':';
    key.append(port);
  }
  if (!path.empty() && path.back() == '/')
    path.remove_suffix(1);
  key.append(path);
  key.append(query);
  return key;
}

}  // namespace quellion
