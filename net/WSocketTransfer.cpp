// The socket's data path: sending through the queue of buffers, receiving through the
// read-ahead block, and the TLS session layered inside both.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "net/WSocket.h"
#include "net/WSocketEvents.h"

namespace quellion {

using namespace socket_events;

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
      CountRead(n);
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
      tlsErrorText_ = tls_->ErrorText();
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
  CountRead(n);
  return static_cast<int>(n);
}

void TCustomWSocket::CountRead(int64_t n) {
  readCount_ = static_cast<int32_t>(static_cast<uint32_t>(readCount_) + static_cast<uint32_t>(n));
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

}  // namespace quellion
