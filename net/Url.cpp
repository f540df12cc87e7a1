#include "net/Url.h"

#include "platform/TextUtil.h"

namespace quellion {
namespace {

void SplitAuthority(const std::string& s, TUrlParts& r) {
  const size_t slash = s.find('/');
  const std::string authority = s.substr(0, slash);
  if (slash != std::string::npos)
    r.Path = s.substr(slash);
  const size_t colon = authority.rfind(':');
  const size_t at = authority.rfind('@');
  if (colon == std::string::npos && at == std::string::npos) {
    r.Host = authority;
    return;
  }
  if (colon != std::string::npos && (at == std::string::npos || colon > at)) {
    const size_t hostStart = at == std::string::npos ? 0 : at + 1;
    r.Port = authority.substr(colon + 1);
    r.Host = authority.substr(hostStart, colon - hostStart);
  } else {
    r.Host = authority.substr(at + 1);
  }
  if (at != std::string::npos) {
    const std::string userInfo = authority.substr(0, at);
    const size_t c = userInfo.find(':');
    r.User = userInfo.substr(0, c);
    if (c != std::string::npos)
      r.Pass = userInfo.substr(c + 1);
  }
}

}  // namespace

TUrlParts ParseUrl(const std::string& url) {
  TUrlParts r;
  if (url.empty())
    return r;
  const size_t sep = url.find("://");
  if (sep != std::string::npos) {
    r.Proto = url.substr(0, sep);
    SplitAuthority(url.substr(sep + 3), r);
  } else if (url[0] == '/') {
    r.Proto = "http";
    if (url.size() > 1 && url[1] != '/')
      r.Path = url;
    else
      SplitAuthority(url.substr(1), r);
  } else if (StartsWithTextAscii(url, "http:")) {
    r.Proto = "http";
    if (url.size() > 6 && url[6] != '/')
      r.Path = url.substr(5);
    else
      SplitAuthority(url.size() > 6 ? url.substr(6) : std::string(), r);
  } else if (StartsWithTextAscii(url, "mailto:")) {
    r.Proto = "mailto";
    SplitAuthority(url.substr(url.find(':') + 1), r);
  } else {
    SplitAuthority(url, r);
  }
  return r;
}

}  // namespace quellion
