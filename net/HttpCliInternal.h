#pragma once

// What the HTTP client's source files share; not for its users.

#include <cstdint>
#include <string>

#include "platform/ThreadQueue.h"

namespace quellion::http_internal {

// Notifications of the client's own endpoint, run in the order queued.
inline constexpr uint32_t kMsgSetIdle = WM_USER + 1;      // WParam: request serial
inline constexpr uint32_t kMsgRequestDone = WM_USER + 2;  // WParam: request serial, LParam: error
inline constexpr uint32_t kMsgRestart = WM_USER + 3;      // WParam: request serial

// A header value quoted in a reason, cut so a hostile header cannot flood it.
inline std::string Quoted(const std::string& text) {
  return "'" + (text.size() > 64 ? text.substr(0, 64) + "..." : text) + "'";
}

}  // namespace quellion::http_internal
