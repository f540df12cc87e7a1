#include "net/WSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "net/WSocketEvents.h"
#include "platform/TextUtil.h"

namespace quellion {

using namespace socket_events;

// ---------------------------------------------------------------- TBuffer

TBuffer::TBuffer(int size) : data_(size <= 0 ? kDefaultSize : size) {}

int TBuffer::Write(const char* data, int len) {
  const int n = std::max(0, std::min(len, Size() - wrCount_));
  if (n > 0)
    std::copy(data, data + n, data_.data() + wrCount_);
  wrCount_ += n;
  return n;
}

const char* TBuffer::Peek(int& len) const {
  len = wrCount_ - rdCount_;
  return data_.data() + rdCount_;
}

void TBuffer::Remove(int n) {
  rdCount_ += std::max(0, std::min(n, wrCount_ - rdCount_));
  if (rdCount_ >= wrCount_)
    rdCount_ = wrCount_ = 0;
}

// ---------------------------------------------------------------- TCustomWSocket

TCustomWSocket::TCustomWSocket() : alive_(std::make_shared<bool>(true)) {
  window_ = std::make_unique<TMessageEndpoint>([this](TMessage& m) { HandleMessage(m); });
  ResetDefaults();
  AddLiveSocket();
}

TCustomWSocket::~TCustomWSocket() {
  destroying_ = true;
  *alive_ = false;
  lookup_.reset();
  Unwatch();
  DropTls();  // no close notice: the socket goes without a word
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
  ReleaseLiveSocket();
  window_.reset();
}

void TCustomWSocket::ResetDefaults() {
  DropTls();
  readAheadPos_ = readAheadLen_ = 0;
  readAheadFull_ = false;
  proto_ = "tcp";
  protoNumber_ = 6;
  datagram_ = false;
  protoResolved_ = true;
  localAddr_ = "0.0.0.0";
  localPort_ = "0";
  localSinPort_ = 0;
  localPortResolved_ = true;
  LingerOnOff = wsLingerOn;
  LingerTimeout = 0;
  fd_ = -1;
  state_ = wsClosed;
  allSent_ = true;
  writeBlocked_ = false;
  readArmed_ = true;
  paused_ = false;
  readCount_ = 0;
  closeReported_ = false;
  addrAssigned_ = portAssigned_ = false;
  addrResolved_ = portResolved_ = false;
}

void TCustomWSocket::ChangeState(TSocketState newState) {
  const TSocketState old = state_;
  state_ = newState;
  if (OnChangeState)
    OnChangeState(*this, old, newState);
}

void TCustomWSocket::RaiseException(const std::string& message) {
  if (OnError) {
    OnError(*this);
    return;
  }
  throw ESocketException(message);
}

void TCustomWSocket::SocketError(const std::string& step) {
  SocketErrorCode(step, LastSystemError());
}

void TCustomWSocket::SocketErrorCode(const std::string& step, int code) {
  const std::string message =
      "Error " + std::to_string(code) + " in function " + step + "\r\n" + SocketErrorText(code);
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    DropTls();
    if (fd_ >= 0) {
      Unwatch();
      ::close(fd_);
      fd_ = -1;
    }
    ChangeState(wsClosed);
  }
  lastError_ = code;
  RaiseException(message);
}

#define QUELLION_REFUSE_UNLESS_CLOSED(name)                 \
  if (state_ != wsClosed) {                                 \
    RaiseException("Cannot change " name " if not closed"); \
    return;                                                 \
  }

void TCustomWSocket::SetAddr(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("Addr");
  const std::string v(TrimSpaceAscii(value));
  if (v != addr_)
    addrResolved_ = false;
  addr_ = v;
  addrAssigned_ = !v.empty();
}

void TCustomWSocket::SetPort(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("Port");
  const std::string v(TrimSpaceAscii(value));
  if (v != port_)
    portResolved_ = false;
  port_ = v;
  portAssigned_ = !v.empty();
}

void TCustomWSocket::SetProto(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("Proto");
  const std::string v(TrimSpaceAscii(value));
  if (v != proto_)
    protoResolved_ = false;
  proto_ = v;
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("LocalAddr");
  const std::string_view v = TrimSpaceAscii(value);
  localAddr_ = v.empty() ? "0.0.0.0" : std::string(v);
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("LocalPort");
  const std::string v(TrimSpaceAscii(value));
  if (v != localPort_)
    localPortResolved_ = false;
  localPort_ = v;
}

#undef QUELLION_REFUSE_UNLESS_CLOSED

std::string TCustomWSocket::PeerAddr() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (fd_ < 0 || state_ != wsConnected || getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len))
    return "error";
  return DottedAddress(sa.sin_addr.s_addr);
}

std::string TCustomWSocket::PeerPort() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (fd_ < 0 || state_ != wsConnected || getpeername(fd_, reinterpret_cast<sockaddr*>(&sa), &len))
    return "error";
  return std::to_string(ntohs(sa.sin_port));
}

int32_t TCustomWSocket::RcvdCount() {
  if (fd_ < 0)
    return 0;
  int waiting = 0;
  if (ioctl(fd_, FIONREAD, &waiting) < 0) {
    SocketError("ioctlSocket");
    return 0;
  }
  return waiting + static_cast<int32_t>(readAheadLen_ - readAheadPos_);
}

void TCustomWSocket::Pause() {
  paused_ = true;
  UpdateWatch();
}

void TCustomWSocket::Resume() {
  paused_ = false;
  UpdateWatch();
}

// ---- descriptor watch: poll() is level-triggered, so only what can make progress
// is asked for: writability while connecting or while data waits to leave, and
// readability only while a read notification may be delivered (as the platform
// re-enables it with each receive call). Peer shutdown is always watched.

void TCustomWSocket::UpdateWatch() {
  if (fd_ < 0) {
    Unwatch();
    return;
  }
  short events = 0;
  if (!paused_) {
    if (state_ == wsConnecting) {
      events = POLLOUT;
    } else if (state_ == wsConnected && tlsHandshaking_) {
      events = static_cast<short>(tlsWant_ | POLLRDHUP);
    } else if (state_ == wsConnected) {
      events = POLLRDHUP;
      if (readArmed_)
        events |= POLLIN;
      if (!allSent_)
        events |= POLLOUT;
    }
  }
  if (watchId_ == 0) {
    watchId_ = window_->Queue().WatchFd(fd_, events,
                                        [this](int fd, short revents) { HandleFd(fd, revents); });
    watchEvents_ = events;
  } else if (events != watchEvents_) {
    window_->Queue().SetFdEvents(watchId_, events);
    watchEvents_ = events;
  }
}

void TCustomWSocket::Unwatch() {
  if (watchId_ != 0)
    window_->Queue().UnwatchFd(watchId_);
  watchId_ = 0;
  watchEvents_ = -1;
}

void TCustomWSocket::HandleFd(int fd, short revents) {
  if (fd != fd_ || paused_)
    return;
  auto alive = alive_;
  const uint64_t connection = connSerial_;
  auto stillHere = [&] { return *alive && fd_ == fd && connSerial_ == connection; };
  try {
    if (state_ == wsConnecting) {
      if (revents & (POLLOUT | POLLERR | POLLHUP)) {
        int err = 0;
        socklen_t len = sizeof err;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) < 0)
          err = errno;
        ConnectEvent(static_cast<uint16_t>(ErrnoToWinsock(err)));
      }
      if (*alive)
        UpdateWatch();
      return;
    }
    if (state_ != wsConnected)
      return;
    if (tlsHandshaking_) {
      // Every readiness, a hang-up included, moves the handshake on or ends it.
      TlsStep();
      if (*alive)
        UpdateWatch();
      return;
    }
    if ((revents & POLLIN) && readArmed_) {
      readArmed_ = false;
      ReadLoop(0, true);
      if (!stillHere())
        return;
      // Bytes read ahead raise no readiness of their own: when the loop left some
      // behind (one pass only), a read notification of our own brings them.
      if (readArmed_ && BytesHeld())
        window_->Post(kMsgRead, static_cast<uintptr_t>(connSerial_));
    }
    if (revents & POLLOUT) {
      writeBlocked_ = false;
      TryToSend();
      if (!stillHere())
        return;
      if (allSent_ && OnDataSent)
        OnDataSent(*this, 0);
      if (!stillHere())
        return;
    }
    if (revents & (POLLRDHUP | POLLHUP | POLLERR)) {
      int err = 0;
      if (revents & POLLERR) {
        socklen_t len = sizeof err;
        getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
      }
      CloseEvent(static_cast<uint16_t>(ErrnoToWinsock(err)));
      if (!*alive)
        return;
    }
    UpdateWatch();
  } catch (const std::exception& e) {
    if (*alive)
      HandleBgException(e);
  }
}

void TCustomWSocket::HandleMessage(TMessage& message) {
  auto alive = alive_;
  try {
    switch (message.Msg) {
      case kMsgLookupDone:
        LookupAnswered(message.WParam);
        break;
      case kMsgWrite:
        if (message.WParam != connSerial_ || fd_ < 0 || paused_ || state_ != wsConnected)
          break;
        TryToSend();
        if (*alive && allSent_ && message.WParam == connSerial_ && OnDataSent)
          OnDataSent(*this, 0);
        if (*alive)
          UpdateWatch();
        break;
      case kMsgRead:
        if (message.WParam != connSerial_ || fd_ < 0 || paused_ || state_ != wsConnected ||
            !readArmed_ || tlsHandshaking_ || !BytesHeld())
          break;
        readArmed_ = false;
        ReadLoop(0, true);
        if (*alive && fd_ >= 0 && readArmed_ && BytesHeld() && message.WParam == connSerial_)
          window_->Post(kMsgRead, static_cast<uintptr_t>(connSerial_));
        if (*alive)
          UpdateWatch();
        break;
      case kMsgTlsStep:
        if (message.WParam != connSerial_ || fd_ < 0 || paused_ || !tlsHandshaking_)
          break;
        TlsStep();
        if (*alive)
          UpdateWatch();
        break;
      case kMsgConnectFailed:
        if (message.WParam != connSerial_ || fd_ < 0 || paused_ || state_ != wsConnecting)
          break;
        ConnectEvent(static_cast<uint16_t>(message.LParam));
        if (*alive)
          UpdateWatch();
        break;
    }
  } catch (const std::exception& e) {
    // Anything escaping a notification would otherwise cut the rest of the queue's
    // batch short (and with it other notifications of this thread).
    if (*alive)
      HandleBgException(e);
  }
}

void TCustomWSocket::HandleBgException(const std::exception& e) {
  auto alive = alive_;
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(*this, e, canClose);
    } catch (...) {
    }
  }
  if (!*alive || !canClose)
    return;
  try {
    Abort();
  } catch (...) {
  }
}

void TCustomWSocket::ConnectEvent(uint16_t error) {
  auto alive = alive_;
  ChangeState(wsConnected);
  if (error == 0)
    readArmed_ = true;
  if (OnSessionConnected)
    OnSessionConnected(*this, error);
  if (!*alive)
    return;
  if (error != 0 && state_ != wsClosed)
    Close();
}

void TCustomWSocket::CloseEvent(uint16_t error) {
  if (state_ == wsConnecting)
    return;
  auto alive = alive_;
  const int fd = fd_;
  const uint64_t connection = connSerial_;
  ReadLoop(0, false);  // whatever is still waiting goes first
  if (!*alive || fd_ != fd || connSerial_ != connection)
    return;
  if (!closeReported_)
    FireSessionClosed(error);
  if (!*alive || fd_ != fd || connSerial_ != connection)
    return;
  if (state_ != wsClosed)
    Close();
}

void TCustomWSocket::FireSessionClosed(uint16_t error) {
  closeReported_ = true;
  if (OnSessionClosed)
    OnSessionClosed(*this, error);
}

void TCustomWSocket::ReadLoop(uint16_t error, bool bounded) {
  auto alive = alive_;
  const auto startCount = static_cast<uint32_t>(readCount_);
  for (;;) {
    lastError_ = 0;
    try {
      if (OnDataAvailable) {
        OnDataAvailable(*this, error);
      } else {
        char junk[1024];
        if (Receive(junk, sizeof junk) < 0 && lastError_ == WSAEWOULDBLOCK)
          return;
      }
    } catch (const std::exception&) {
      return;  // swallowed: no event, no report
    }
    if (!*alive || fd_ < 0)
      return;
    if (ComponentOptions & (1u << wsoNoReceiveLoop))
      return;
    if (lastError_ != 0)
      return;
    if (bounded && static_cast<uint32_t>(readCount_) - startCount >= kReadLoopBudget)
      return;
    if (BytesHeld())
      continue;  // bytes read ahead (or held by the TLS session) are waiting
    if (readAheadFull_) {
      readAheadFull_ = false;
      continue;  // a full read-ahead: more is most likely waiting; the next receive tells
    }
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) < 0) {
      lastError_ = LastSystemError();
      return;
    }
    if (waiting <= 0)
      return;
  }
}

// ---- lookup

void TCustomWSocket::DestroyLookup() {
  lookup_.reset();
}

void TCustomWSocket::DnsLookup(const std::string& host) {
  if (host.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    if (OnDnsLookupDone)
      OnDnsLookupDone(*this, WSAEINVAL);
    return;
  }
  DestroyLookup();  // a pending lookup is dropped without an event
  dnsResult_.clear();
  dnsResultList_.clear();
  in_addr numeric{};
  if (inet_aton(host.c_str(), &numeric) != 0) {
    dnsResult_ = DottedAddress(numeric.s_addr);
    dnsResultList_.push_back(dnsResult_);
    if (OnDnsLookupDone)
      OnDnsLookupDone(*this, 0);
    return;
  }
  int error = 0;
  lookup_ = THostLookup::Start(*window_, kMsgLookupDone, ++lookupSerial_, host, error);
  if (!lookup_)
    RaiseException(Format("%s: can't start DNS lookup, error #%d", host.c_str(), error));
}

void TCustomWSocket::LookupAnswered(uint64_t serial) {
  if (!lookup_ || lookup_->Serial() != serial)
    return;  // not the pending lookup
  const int error = lookup_->Error();
  std::vector<std::string> addresses = lookup_->TakeAddresses();
  DestroyLookup();
  if (error == 0) {
    dnsResultList_ = std::move(addresses);
    dnsResult_ = dnsResultList_.front();
  }
  if (OnDnsLookupDone)
    OnDnsLookupDone(*this, static_cast<uint16_t>(error));
}

void TCustomWSocket::CancelDnsLookup() {
  if (!lookup_)
    return;
  DestroyLookup();
  if (!destroying_ && OnDnsLookupDone)
    OnDnsLookupDone(*this, WSAEINTR);
}

// ---- connect

void TCustomWSocket::Connect() {
  if (fd_ >= 0 && state_ != wsClosed) {
    RaiseException("Connect: Socket already in use");
    return;
  }
  if (!portAssigned_) {
    RaiseException("Connect: No Port Specified");
    return;
  }
  if (!addrAssigned_) {
    RaiseException("Connect: No IP Address Specified");
    return;
  }
  if (proto_.empty()) {
    RaiseException("Connect: No Protocol Specified");
    return;
  }
  try {
    if (!protoResolved_) {
      protoNumber_ = WSocketResolveProto(proto_);
      datagram_ = protoNumber_ == 17;
      protoResolved_ = true;
    }
    if (!portResolved_) {
      sinPort_ = WSocketResolvePort(port_, datagram_ ? "udp" : "tcp");
      portResolved_ = true;
    }
    if (!localPortResolved_) {
      localSinPort_ = WSocketResolvePort(localPort_, datagram_ ? "udp" : "tcp");
      localPortResolved_ = true;
    }
    if (!addrResolved_) {
      sinAddr_ = WSocketResolveHost(addr_);
      addrResolved_ = true;
    }
  } catch (const ESocketException& e) {
    RaiseException("connect: " + e.Message);
    return;
  }

  DeleteBufferedData();
  const int fd =
      ::socket(AF_INET, (datagram_ ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    SocketError("Connect (socket)");
    return;
  }
  fd_ = fd;
  ++connSerial_;
  readAheadPos_ = readAheadLen_ = 0;
  readAheadFull_ = false;
  closeReported_ = false;
  ChangeState(wsOpened);

  if (localSinPort_ != 0 || localAddr_ != "0.0.0.0") {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = localSinPort_;
    local.sin_addr.s_addr = WSocketResolveHost(localAddr_);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
      RaiseException(Format("winsock.bind failed, error #%d", LastSystemError()));
      return;
    }
    socklen_t len = sizeof local;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &len) < 0) {
      RaiseException(Format("winsock.getsockname failed, error #%d", LastSystemError()));
      return;
    }
    localPort_ = std::to_string(ntohs(local.sin_port));
    localSinPort_ = local.sin_port;
  }

  if (!datagram_) {
    if (LingerOnOff != wsLingerNoSet) {
      linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
      if (setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l) < 0) {
        SocketError("setsockopt(SO_LINGER)");
        return;
      }
    }
    const int on = 1;
    if (setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) < 0) {
      SocketError("setsockopt(SO_KEEPALIVE)");
      return;
    }
    if (setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
      SocketError("setsockopt(SO_REUSEADDR)");
      return;
    }
  }

  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = sinPort_;
  remote.sin_addr.s_addr = sinAddr_;
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0 ||
      errno == EINPROGRESS || errno == EWOULDBLOCK) {
    ChangeState(wsConnecting);
    UpdateWatch();
    return;
  }
  const int code = LastSystemError();
  switch (code) {
    case WSAECONNREFUSED:
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAETIMEDOUT:
      // Failures the kernel knows at once still arrive as a connect notification.
      ChangeState(wsConnecting);
      window_->Post(kMsgConnectFailed, static_cast<uintptr_t>(connSerial_), code);
      return;
    default:
      lastError_ = code;
      SocketErrorCode("Connect", code);
  }
}

// ---- close

void TCustomWSocket::SetLingerOption() {
  if (LingerOnOff == wsLingerNoSet)
    return;
  if (fd_ < 0) {
    RaiseException("Cannot set linger option at this time");
    return;
  }
  linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
  if (setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l) < 0)
    SocketError("setsockopt(SO_LINGER)");
}

void TCustomWSocket::InternalClose(bool shutdownSend, uint16_t error) {
  if (fd_ < 0) {
    if (state_ != wsClosed) {
      ChangeState(wsClosed);
      try {
        ResetDefaults();
      } catch (...) {
      }
    }
    return;
  }
  if (state_ == wsClosed)
    return;
  if (tls_ && shutdownSend && !tlsHandshaking_)
    tls_->Shutdown();  // the close notice goes before the connection's own end
  DropTls();
  if (shutdownSend)
    ::shutdown(fd_, SHUT_WR);
  Unwatch();
  if (::close(fd_) < 0 && errno != EINTR) {
    fd_ = -1;
    SocketError("Disconnect (closesocket)");
    return;
  }
  fd_ = -1;
  auto alive = alive_;
  ChangeState(wsClosed);
  if (!*alive)
    return;
  if (!destroying_ && !closeReported_) {
    FireSessionClosed(error);
    if (!*alive)
      return;
  }
  if (fd_ >= 0)
    return;  // a handler has opened a new connection already
  try {
    ResetDefaults();
  } catch (...) {
  }
}

void TCustomWSocket::Close() {
  InternalClose(true, 0);
}

void TCustomWSocket::Abort() {
  auto alive = alive_;
  CancelDnsLookup();
  if (!*alive)
    return;
  DeleteBufferedData();
  if (fd_ >= 0 && state_ == wsConnected && !datagram_) {
    LingerOnOff = wsLingerOff;
    try {
      SetLingerOption();
    } catch (...) {
    }
  }
  InternalClose(false, 0);
}

// ---------------------------------------------------------------- SOCKS layer

void TCustomSocksWSocket::SetSocksServer(const std::string& value) {
  if (State() != wsClosed) {
    RaiseException("Can't change socks server if not closed");
    return;
  }
  socksServer_ = value;
}

void TCustomSocksWSocket::SetSocksPort(const std::string& value) {
  if (State() != wsClosed) {
    RaiseException("Can't change socks port if not closed");
    return;
  }
  socksPort_ = value;
}

void TCustomSocksWSocket::SetSocksLevel(const std::string& value) {
  if (value != "4" && value != "4A" && value != "4a" && value != "5") {
    RaiseException("Invalid socks level. Must be 4, 4A or 5.");
    return;
  }
  socksLevel_ = value;
}

}  // namespace quellion
