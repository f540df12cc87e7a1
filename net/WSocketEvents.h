#pragma once

// What the socket's implementation files share: the messages of a socket's notification
// endpoint and how a failed system call's error is read.

#include <cerrno>
#include <cstdint>

#include "net/SocketErrors.h"
#include "platform/ThreadQueue.h"

namespace quellion::socket_events {

constexpr uint32_t kMsgLookupDone = WM_USER + 1;     // WParam: lookup serial
constexpr uint32_t kMsgWrite = WM_USER + 2;          // WParam: connection serial
constexpr uint32_t kMsgConnectFailed = WM_USER + 3;  // WParam: connection serial, LParam: error
constexpr uint32_t kMsgRead = WM_USER + 4;           // WParam: connection serial
constexpr uint32_t kMsgTlsStep = WM_USER + 5;        // WParam: connection serial

// Receives take what has arrived in reads of this size and hand it out from there,
// so small receives (the HTTP client takes at most 8 KB) cost no system call each.
constexpr int kReadAheadSize = 64 * 1024;

// The last failed system call's error as a socket error code.
inline int LastSystemError() {
  return ErrnoToWinsock(errno);
}

}  // namespace quellion::socket_events
