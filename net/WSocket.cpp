#include "net/WSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

namespace quellion {
namespace {

// Messages of a socket's notification endpoint.
constexpr uint32_t kMsgLookupDone = WM_USER + 1;     // WParam: lookup serial
constexpr uint32_t kMsgWrite = WM_USER + 2;          // WParam: connection serial
constexpr uint32_t kMsgConnectFailed = WM_USER + 3;  // WParam: connection serial, LParam: error
constexpr uint32_t kMsgRead = WM_USER + 4;           // WParam: connection serial
constexpr uint32_t kMsgTlsStep = WM_USER + 5;        // WParam: connection serial

// Receives take what has arrived in reads of this size and hand it out from there,
// so small receives (the HTTP client takes at most 8 KB) cost no system call each.
constexpr int kReadAheadSize = 64 * 1024;

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
    ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
    --e;
  return s.substr(b, e - b);
}

int LastSystemError() {
  return ErrnoToWinsock(errno);
}

}  // namespace

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
  const std::string v = Trim(value);
  if (v != addr_)
    addrResolved_ = false;
  addr_ = v;
  addrAssigned_ = !v.empty();
}

void TCustomWSocket::SetPort(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("Port");
  const std::string v = Trim(value);
  if (v != port_)
    portResolved_ = false;
  port_ = v;
  portAssigned_ = !v.empty();
}

void TCustomWSocket::SetProto(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("Proto");
  const std::string v = Trim(value);
  if (v != proto_)
    protoResolved_ = false;
  proto_ = v;
}

void TCustomWSocket::SetLocalAddr(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("LocalAddr");
  localAddr_ = Trim(value).empty() ? "0.0.0.0" : Trim(value);
}

void TCustomWSocket::SetLocalPort(const std::string& value) {
  QUELLION_REFUSE_UNLESS_CLOSED("LocalPort");
  const std::string v = Trim(value);
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
      ReadLoop(0);
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
        ReadLoop(0);
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
  ReadLoop(0);  // whatever is still waiting goes first
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

void TCustomWSocket::ReadLoop(uint16_t error) {
  auto alive = alive_;
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

// ---- send and receive

void TCustomWSocket::DeleteBufferedData() {
  if (sendQueue_.size() > 1)
    sendQueue_.resize(1);
  if (!sendQueue_.empty()) {
    int len;
    sendQueue_.front()->Peek(len);
    sendQueue_.front()->Remove(len);
  }
  allSent_ = true;
}

int TCustomWSocket::Send(const void* data, int len) {
  if (state_ != wsConnected) {
    SocketErrorCode("Send", WSAENOTCONN);
    return -1;
  }
  if (len <= 0)
    return 0;
  allSent_ = false;
  const char* p = static_cast<const char*>(data);
  int left = len;
  while (left > 0) {
    if (sendQueue_.empty())
      sendQueue_.push_back(std::make_unique<TBuffer>(TBuffer::kDefaultSize));
    const int n = sendQueue_.back()->Write(p, left);
    if (n == 0) {
      sendQueue_.push_back(std::make_unique<TBuffer>(TBuffer::kDefaultSize));
      continue;
    }
    p += n;
    left -= n;
  }
  auto alive = alive_;
  TryToSend();
  if (*alive && fd_ >= 0) {
    if (allSent_)
      window_->Post(kMsgWrite, static_cast<uintptr_t>(connSerial_));
    UpdateWatch();
  }
  return len;
}

void TCustomWSocket::TryToSend() {
  if (fd_ < 0 || sendQueue_.empty() || tlsHandshaking_)
    return;
  auto alive = alive_;
  for (;;) {
    int len = 0;
    const char* p = sendQueue_.front()->Peek(len);
    if (len == 0) {
      if (sendQueue_.size() == 1) {
        allSent_ = true;
        return;
      }
      sendQueue_.erase(sendQueue_.begin());
      continue;
    }
    ssize_t n;
    int code = 0;
    if (tls_) {
      TTlsSession::TStep step;
      n = tls_->Write(p, len, step);
      if (n < 0)
        code = step == TTlsSession::tlsWantRead || step == TTlsSession::tlsWantWrite
                   ? WSAEWOULDBLOCK
                   : tls_->Error();
    } else {
      const int flags = MSG_NOSIGNAL | (SendFlags == wsSendUrgent ? MSG_OOB : 0);
      n = ::send(fd_, p, len, flags);
      if (n < 0)
        code = LastSystemError();
    }
    if (n > 0) {
      if (OnSendData)
        OnSendData(*this, static_cast<int>(n));
      if (!*alive || fd_ < 0)
        return;
      sendQueue_.front()->Remove(static_cast<int>(n));
      if (n < len) {
        writeBlocked_ = true;
        return;
      }
      continue;
    }
    if (n == 0)
      return;
    if (code == WSAEWOULDBLOCK) {
      writeBlocked_ = true;
      return;
    }
    if (code == WSAEINVAL || code == WSAENOTSOCK || code == WSAECONNABORTED ||
        code == WSAECONNRESET || code == WSAENOTCONN) {
      closeReported_ = true;
      Close();
      if (*alive && OnSessionClosed)
        OnSessionClosed(*this, static_cast<uint16_t>(code));
      return;
    }
    SocketErrorCode("TryToSend failed", code);
    return;
  }
}

int TCustomWSocket::Receive(void* buffer, int len) {
  if (fd_ < 0) {
    lastError_ = WSAENOTSOCK;
    return -1;
  }
  if (!readArmed_) {
    readArmed_ = true;
    UpdateWatch();
  }
  len = std::max(0, len);
  if (tls_ && !tlsHandshaking_) {
    TTlsSession::TStep step;
    const int n = tls_->Read(buffer, len, step);
    if (n > 0) {
      readCount_ += n;
      return n;
    }
    if (step == TTlsSession::tlsClosed) {
      tlsEof_ = true;  // whatever the session still holds will never be read
      return 0;        // the peer has closed
    }
    if (step == TTlsSession::tlsWantRead || step == TTlsSession::tlsWantWrite) {
      lastError_ = WSAEWOULDBLOCK;
    } else {
      lastError_ = tls_->Error();
      tlsEof_ = true;  // a broken session yields nothing more
    }
    return -1;
  }
  if (tlsHandshaking_) {
    lastError_ = WSAEWOULDBLOCK;
    return -1;
  }
  char* out = static_cast<char*>(buffer);
  if (readAheadPos_ >= readAheadLen_ && len > 0 && len < kReadAheadSize) {
    // Refill the read-ahead with one system call.
    if (readAhead_.empty())
      readAhead_.resize(kReadAheadSize);
    const ssize_t r = ::recv(fd_, readAhead_.data(), readAhead_.size(), 0);
    if (r < 0) {
      lastError_ = LastSystemError();
      return -1;
    }
    readAheadPos_ = 0;
    readAheadLen_ = static_cast<size_t>(r);
    readAheadFull_ = r == kReadAheadSize;
    if (r == 0)
      return 0;  // the peer has closed
  }
  ssize_t n;
  if (readAheadPos_ < readAheadLen_) {
    n = static_cast<ssize_t>(std::min<size_t>(len, readAheadLen_ - readAheadPos_));
    std::memcpy(out, readAhead_.data() + readAheadPos_, static_cast<size_t>(n));
    readAheadPos_ += static_cast<size_t>(n);
  } else {
    n = ::recv(fd_, out, static_cast<size_t>(len), 0);  // large receives go straight in
    if (n < 0) {
      lastError_ = LastSystemError();
      return -1;
    }
  }
  readCount_ += static_cast<int32_t>(n);
  return static_cast<int>(n);
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

// ---- TLS

void TCustomWSocket::StartTls(const std::string& serverName, const std::string& caFile) {
  if (fd_ < 0 || state_ != wsConnected || tls_) {
    RaiseException("StartTls: the socket is not a connected plain connection");
    return;
  }
  tls_ = std::make_unique<TTlsSession>(fd_, serverName, caFile);
  tlsHandshaking_ = true;
  tlsPlainLeftover_ = readAheadPos_ < readAheadLen_;
  tlsWant_ = 0;  // the first step comes from the event loop, never from inside StartTls
  tlsErrorText_.clear();
  window_->Post(kMsgTlsStep, static_cast<uintptr_t>(connSerial_));
  UpdateWatch();
}

void TCustomWSocket::TlsStep() {
  TTlsSession::TStep step = TTlsSession::tlsFailed;
  uint16_t error = 0;
  if (tlsPlainLeftover_) {
    error = kTlsHandshakeFailed;
    tlsErrorText_ = "TLS handshake failed: the peer sent data before the handshake";
  } else {
    step = tls_->Handshake();
    if (step == TTlsSession::tlsWantRead || step == TTlsSession::tlsWantWrite) {
      tlsWant_ = step == TTlsSession::tlsWantRead ? POLLIN : POLLOUT;
      return;
    }
    if (step != TTlsSession::tlsDone) {
      error = static_cast<uint16_t>(tls_->Error());
      tlsErrorText_ = tls_->ErrorText();
    }
  }
  tlsHandshaking_ = false;
  if (error != 0)
    DropTls();  // the connection is unusable; its owner closes it
  readArmed_ = true;
  auto alive = alive_;
  if (error == 0 && !allSent_) {
    TryToSend();
    if (!*alive || fd_ < 0)
      return;
  }
  UpdateWatch();
  if (OnTlsDone)
    OnTlsDone(*this, error);
}

void TCustomWSocket::DropTls() {
  tls_.reset();
  tlsHandshaking_ = false;
  tlsEof_ = false;
  tlsPlainLeftover_ = false;
}

bool TCustomWSocket::BytesHeld() const {
  return readAheadPos_ < readAheadLen_ ||
         (tls_ && !tlsHandshaking_ && !tlsEof_ && tls_->HasPending());
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
