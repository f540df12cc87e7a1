#include <algorithm>

#include "net/HttpCli.h"
#include "net/HttpCliInternal.h"
#include "platform/TextUtil.h"

// The client's relocations: checking and resolving a "location", and the address
// its credentials belong to.

namespace quellion {
namespace {

using http_internal::kMsgRestart;
using http_internal::Quoted;

// The scheme of a "location" value ("" for none). "host:81/x" names a port, not a scheme.
std::string SchemeOf(const std::string& value) {
  const size_t colon = value.find(':');
  if (colon == 0 || colon == std::string::npos)
    return {};
  for (size_t i = 0; i < colon; ++i) {
    const char c = value[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))
      return {};
  }
  size_t end = colon + 1;
  while (end < value.size() && value[end] >= '0' && value[end] <= '9')
    ++end;
  if (end > colon + 1 && (end == value.size() || value[end] == '/'))
    return {};  // a port
  return value.substr(0, colon);
}

}  // namespace

bool THttpCli::CheckLocation(const std::string& value) {
  std::string reason;
  const std::string scheme = SchemeOf(value);
  if (value.find_first_of(std::string(" \t\r\n\0", 5)) != std::string::npos ||
      std::any_of(value.begin(), value.end(), [](char c) { return uint8_t(c) < 32 || c == 127; }))
    reason = "relocation refused: the location holds a blank or a control character";
  else if (!scheme.empty() && !SameTextAscii(scheme, "http") && !SameTextAscii(scheme, "https"))
    reason = "relocation refused: not an http or https address: " + Quoted(value);
  if (reason.empty())
    return true;
  FailRequest(kHttpErrorBadRelocation, reason);
  return false;
}

std::string THttpCli::CurrentOrigin() const {
  if (Proxy.empty())
    return std::string(useTls_ ? "https" : "http") + "://" + ToLowerAscii(connectHost_) + ":" +
           connectPort_;
  const TUrlParts target = ParseUrl(absoluteTarget_);
  const bool tls = SameTextAscii(target.Proto, "https");
  return std::string(tls ? "https" : "http") + "://" + ToLowerAscii(target.Host) + ":" +
         (target.Port.empty() ? (tls ? "443" : "80") : target.Port);
}

void THttpCli::ResolveLocation(const std::string& value) {
  if (Proxy.empty()) {
    const std::string scheme = useTls_ ? "https" : "http";
    if (!value.empty() && value[0] == '/') {
      requestPath_ = value;
      location_ = scheme + "://" + connectHost_ + value;
      return;
    }
    const TUrlParts u = ParseUrl(value);
    connectHost_ = u.Host;
    requestPath_ = u.Path;
    if (!u.Port.empty())
      connectPort_ = u.Port;
    // A change of scheme without a port goes to the new scheme's own port.
    const bool tls = u.Proto.empty() ? useTls_ : SameTextAscii(u.Proto, "https");
    if (tls != useTls_) {
      useTls_ = tls;
      if (u.Port.empty())
        connectPort_ = DefaultPort();
    }
    targetPort_ = connectPort_;
    if (!u.Proto.empty() && !u.Host.empty()) {
      targetHost_ = u.Host;
      if (requestPath_.empty())
        requestPath_ = "/";
      location_ = u.Proto + "://" + u.Host + u.Path;
      return;
    }
    const std::string proto = u.Proto.empty() ? scheme : u.Proto;
    if (u.Path.empty()) {  // a bare relative name, which ParseUrl takes for a host
      location_ = proto + "://" + targetHost_ + "/" + u.Host;
      connectHost_ = targetHost_;
      requestPath_ = location_;
    } else if (u.Host.empty()) {
      location_ = proto + "://" + targetHost_ + u.Path;
      connectHost_ = targetHost_;
    } else {
      targetHost_ = u.Host;
    }
    return;
  }

  // Through a proxy the connection always goes to the proxy; the request target is
  // the absolute URL, which keeps a port the current or the new address names (inside
  // a tunnel to an https address: its path).
  const TUrlParts current = ParseUrl(absoluteTarget_);
  const std::string currentBase = (current.Proto.empty() ? "http" : current.Proto) + "://" +
                                  current.Host + (current.Port.empty() ? "" : ":" + current.Port);
  if (!value.empty() && value[0] == '/') {
    location_ = currentBase + value;
  } else {
    const TUrlParts u = ParseUrl(value);
    if (!u.Proto.empty() && !u.Host.empty()) {
      targetHost_ = u.Host;
      location_ = u.Proto + "://" + u.Host + (u.Port.empty() ? "" : ":" + u.Port) + u.Path;
    } else if (u.Path.empty()) {  // a bare relative name
      location_ = currentBase + "/" + u.Host;
    } else if (u.Host.empty()) {
      location_ = currentBase + u.Path;
    } else {  // host and path without a scheme
      targetHost_ = u.Host;
      location_ = "http://" + u.Host + (u.Port.empty() ? "" : ":" + u.Port) + u.Path;
    }
  }
  absoluteTarget_ = location_;
  requestPath_ = location_;
  const TUrlParts next = ParseUrl(location_);
  useTls_ = SameTextAscii(next.Proto, "https");
  tunnel_ = useTls_;
  if (tunnel_) {
    targetPort_ = next.Port.empty() ? DefaultPort() : next.Port;
    requestPath_ = next.Path.empty() ? "/" : next.Path;
  }
}

void THttpCli::StartRelocation() {
  requestType_ = rqGet;  // the new address is asked for with a GET
  if (++relocationCount_ > kMaxRelocations) {
    FailRequest(kHttpErrorTooManyRelocations,
                "too many relocations (more than " + std::to_string(kMaxRelocations) + ")");
    return;
  }
  if (OnHeaderEnd)
    OnHeaderEnd(*this);
  receiveLen_ = 0;
  headerLineCount_ = 0;
  bodyDataCount_ = 0;
  BindLocationClosedHandler();
  socket_->Close();
}

void THttpCli::LocationSessionClosed(uint16_t /*error*/) {
  BindClosedHandler();
  locationChangeRequested_ = false;
  if (OnLocationChange)
    OnLocationChange(*this);
  window_->Post(kMsgRestart, static_cast<uintptr_t>(requestSerial_));
}

}  // namespace quellion
