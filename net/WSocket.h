#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/HostLookup.h"
#include "net/SocketErrors.h"
#include "net/TlsSession.h"
#include "platform/Exception.h"
#include "platform/ThreadQueue.h"

namespace quellion {

// A non-blocking IPv4 TCP socket whose every notification is delivered on the
// thread that created it, one at a time, and only while that thread pumps its
// TThreadQueue. Rules:
//  - Nothing blocks; results arrive as events from the event loop.
//  - Every operation and event belongs to the creating thread; nothing inside a
//    socket is locked. Only the process-wide resolver start-up, the live-socket
//    count (HostLookup.h) and the TLS contexts (TlsSession.h) are shared between
//    threads (behind mutexes).
//  - Errors are reported as WinSock numbers (see SocketErrors.h); TLS failures as
//    kTlsHandshakeFailed / kTlsCertificateFailed with TlsErrorText.

enum TSocketState {
  wsInvalidState,
  wsOpened,
  wsBound,
  wsConnecting,
  wsConnected,
  wsAccepting,
  wsListening,
  wsClosed
};

enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TWSocketOption { wsoNoReceiveLoop };
using TWSocketOptions = unsigned;  // bit set of (1u << TWSocketOption)

// One block of the send queue. The data area's size is fixed at creation.
class TBuffer {
 public:
  static constexpr int kDefaultSize = 1514;
  explicit TBuffer(int size);

  // Copies as many bytes as fit behind the written ones; returns their number.
  int Write(const char* data, int len);
  // Address and number of the bytes not read yet.
  const char* Peek(int& len) const;
  // Marks up to n unread bytes as read; a fully read block starts over at 0.
  void Remove(int n);
  int Size() const { return static_cast<int>(data_.size()); }

 private:
  std::vector<char> data_;
  int wrCount_ = 0;
  int rdCount_ = 0;
};

class TCustomWSocket {
 public:
  using TSocketEvent = std::function<void(TCustomWSocket& sender, uint16_t error)>;
  using TChangeStateEvent =
      std::function<void(TCustomWSocket& sender, TSocketState oldState, TSocketState newState)>;
  using TSendDataEvent = std::function<void(TCustomWSocket& sender, int bytesSent)>;
  using TNotifyEvent = std::function<void(TCustomWSocket& sender)>;
  using TBgExceptionEvent =
      std::function<void(TCustomWSocket& sender, const std::exception& e, bool& canClose)>;

  TCustomWSocket();
  virtual ~TCustomWSocket();
  TCustomWSocket(const TCustomWSocket&) = delete;
  TCustomWSocket& operator=(const TCustomWSocket&) = delete;

  // --- properties ---
  const std::string& Addr() const { return addr_; }
  void SetAddr(const std::string& value);
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value);
  const std::string& Proto() const { return proto_; }
  void SetProto(const std::string& value);
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value);
  const std::string& LocalPort() const { return localPort_; }
  void SetLocalPort(const std::string& value);
  std::string PeerAddr() const;
  std::string PeerPort() const;
  const std::string& DnsResult() const { return dnsResult_; }
  const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
  TSocketState State() const { return state_; }
  // Bytes received since the last reset; wraps around past 2^31 - 1 as a 32-bit count.
  int32_t ReadCount() const { return readCount_; }
  // Bytes waiting to be read, asked from the system.
  int32_t RcvdCount();
  int32_t LastError() const { return lastError_; }
  bool MultiThreaded = false;
  TWSocketOptions ComponentOptions = 0;
  TSocketSendFlags SendFlags = wsSendNormal;
  TSocketLingerOnOff LingerOnOff = wsLingerOn;
  int32_t LingerTimeout = 0;
  // The system handle (-1 when none); for diagnostics and tests.
  int Handle() const { return fd_; }
  bool DnsLookupPending() const { return lookup_ != nullptr; }

  // --- events (optional) ---
  TSocketEvent OnDnsLookupDone;
  TSocketEvent OnSessionConnected;
  TSocketEvent OnDataAvailable;
  TSocketEvent OnDataSent;
  TSocketEvent OnSessionClosed;
  TSocketEvent OnSessionAvailable;
  // The TLS handshake started by StartTls ended (0, or a failure: TlsErrorText).
  TSocketEvent OnTlsDone;
  TChangeStateEvent OnChangeState;
  TSendDataEvent OnSendData;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;

  // --- operations ---
  // Pauses / resumes network notifications (ignored while paused).
  void Pause();
  void Resume();
  virtual void DnsLookup(const std::string& host);
  virtual void CancelDnsLookup();
  virtual void Connect();
  // Queues len bytes; returns len (0 for len <= 0), or -1 when not connected.
  virtual int Send(const void* data, int len);
  int SendStr(const std::string& s) { return Send(s.data(), static_cast<int>(s.size())); }
  // Reads at most len bytes; 0 when the peer has closed, -1 on error (LastError set,
  // 10035 when nothing is waiting).
  virtual int Receive(void* buffer, int len);
  virtual void Close();
  virtual void Abort();
  // Applies LingerOnOff/LingerTimeout to the open handle.
  void SetLingerOption();

  // --- TLS inside the connection ---
  // Starts a TLS handshake on the connected socket, driven by the same readiness
  // notifications; OnTlsDone follows from the event loop. serverName goes out as SNI
  // and is what the certificate must name (an IP literal: its address); caFile is an
  // extra trusted CA file or empty. Afterwards Send and Receive carry plain bytes
  // through the session, and Close sends the close notice first.
  void StartTls(const std::string& serverName, const std::string& caFile = {});
  bool TlsActive() const { return tls_ != nullptr; }
  bool TlsHandshaking() const { return tlsHandshaking_; }
  // What ended the last failed handshake, e.g. "certificate verify failed: ...".
  const std::string& TlsErrorText() const { return tlsErrorText_; }

 protected:
  // Reports a message: OnError when assigned, else ESocketException.
  void RaiseException(const std::string& message);
  // Reports the failure of a system call step (Algorithms of the socket layer).
  void SocketError(const std::string& step);
  void SocketErrorCode(const std::string& step, int code);
  void ChangeState(TSocketState newState);

 private:
  void ResetDefaults();
  void InternalClose(bool shutdownSend, uint16_t error);
  void HandleFd(int fd, short revents);
  void HandleMessage(TMessage& message);
  void HandleBgException(const std::exception& e);
  void ConnectEvent(uint16_t error);
  void CloseEvent(uint16_t error);
  // Passes of OnDataAvailable while bytes wait. A read notification's loop stops once
  // it has received kReadLoopBudget bytes: a peer that sends without end would otherwise
  // keep it (and the thread's event loop) going for ever; the descriptor still reads as
  // ready, so the next notification goes on. The close's loop takes everything.
  static constexpr uint32_t kReadLoopBudget = 1u << 20;
  void ReadLoop(uint16_t error, bool bounded);
  // ReadCount grows by n, wrapping around as a 32-bit count does.
  void CountRead(int64_t n);
  void TryToSend();
  void UpdateWatch();
  void Unwatch();
  void DeleteBufferedData();
  void DestroyLookup();
  void LookupAnswered(uint64_t serial);
  void FireSessionClosed(uint16_t error);
  void TlsStep();
  void DropTls();
  bool BytesHeld() const;

  std::unique_ptr<TMessageEndpoint> window_;
  std::shared_ptr<bool> alive_;
  int fd_ = -1;
  uint64_t connSerial_ = 0;  // tells notifications of an earlier connection apart
  int watchId_ = 0;
  short watchEvents_ = -1;
  TSocketState state_ = wsClosed;

  std::string addr_, port_, proto_ = "tcp", localAddr_ = "0.0.0.0", localPort_ = "0";
  bool addrAssigned_ = false, portAssigned_ = false;
  bool addrResolved_ = false, portResolved_ = false, protoResolved_ = false,
       localPortResolved_ = false;
  uint32_t sinAddr_ = 0;  // network byte order
  uint16_t sinPort_ = 0;  // network byte order
  uint16_t localSinPort_ = 0;
  int protoNumber_ = 6;
  bool datagram_ = false;

  std::string dnsResult_;
  std::vector<std::string> dnsResultList_;
  std::unique_ptr<THostLookup> lookup_;
  uint64_t lookupSerial_ = 0;

  std::vector<std::unique_ptr<TBuffer>> sendQueue_;
  bool allSent_ = true;
  bool writeBlocked_ = false;
  bool readArmed_ = true;  // a read notification may be delivered (re-armed by Receive)
  bool closeReported_ = false;
  bool paused_ = false;
  bool destroying_ = false;
  int32_t readCount_ = 0;
  int32_t lastError_ = 0;
  std::vector<char> readAhead_;
  size_t readAheadPos_ = 0, readAheadLen_ = 0;
  bool readAheadFull_ = false;

  std::unique_ptr<TTlsSession> tls_;
  bool tlsHandshaking_ = false;
  bool tlsPlainLeftover_ = false;  // plain bytes were read ahead before the handshake
  bool tlsEof_ = false;            // the session has seen the peer's end
  short tlsWant_ = 0;              // the readiness the handshake waits for
  std::string tlsErrorText_;
};

// SOCKS relay layer: inactive unless SocksServer is set, which this system never does.
class TCustomSocksWSocket : public TCustomWSocket {
 public:
  const std::string& SocksServer() const { return socksServer_; }
  void SetSocksServer(const std::string& value);
  const std::string& SocksPort() const { return socksPort_; }
  void SetSocksPort(const std::string& value);
  const std::string& SocksLevel() const { return socksLevel_; }
  // "4", "4A" or "5"; anything else: "Invalid socks level. Must be 4, 4A or 5."
  void SetSocksLevel(const std::string& value);

 private:
  std::string socksServer_, socksPort_, socksLevel_ = "5";
};

// Line mode layer: inactive unless LineMode is set, which this system never does.
class TCustomLineWSocket : public TCustomSocksWSocket {
 public:
  bool LineMode = false;
  std::string LineEnd = "\r\n";
};

// Synchronous waits layer: unused by the system.
class TCustomSyncWSocket : public TCustomLineWSocket {};

class TWSocket : public TCustomSyncWSocket {
 public:
  TWSocket() = default;
};

}  // namespace quellion
