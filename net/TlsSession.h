#pragma once

#include <memory>
#include <string>

namespace quellion {

// Failures of the TLS layer as completion errors (beside the WinSock numbers; the
// socket's TlsErrorText says what happened in words).
inline constexpr int kTlsHandshakeFailed = 12001;
inline constexpr int kTlsCertificateFailed = 12002;

// What is known about a failed TLS step, and how it is reported: one mapping for
// the handshake, reads and writes. Before the handshake ends: a certificate problem
// is kTlsCertificateFailed, a protocol error or a vanished peer kTlsHandshakeFailed;
// afterwards a protocol error (a forged or garbled record) is WSAECONNABORTED and a
// peer gone without a close notice WSAECONNRESET. A system error is its WinSock
// number either way.
struct TTlsFailureFacts {
  bool Established = false;
  std::string VerifyProblem;  // the certificate check's complaint, if any
  bool ProtocolError = false;
  std::string ProtocolReason;  // OpenSSL's reason text for it
  int SystemErrno = 0;
};
struct TTlsFailure {
  int Error = 0;
  std::string Text;
};
TTlsFailure ClassifyTlsFailure(const TTlsFailureFacts& facts);

// One client-side TLS session (OpenSSL 3) on a connected non-blocking descriptor.
// It never blocks and owns no thread: each step returns at once and says which
// readiness of the descriptor lets it go on. Verification is always on: the chain
// against the system's trust store (SSL_CERT_FILE / SSL_CERT_DIR honoured) plus an
// optional extra CA file, the server name (or IP address) against the certificate,
// TLS 1.2 at least; the server name also goes out as SNI.
class TTlsSession {
 public:
  enum TStep { tlsDone, tlsWantRead, tlsWantWrite, tlsFailed, tlsClosed };

  // Never fails here; a session that could not be set up fails its first step.
  TTlsSession(int fd, const std::string& serverName, const std::string& caFile);
  ~TTlsSession();
  TTlsSession(const TTlsSession&) = delete;
  TTlsSession& operator=(const TTlsSession&) = delete;

  // Drives the handshake one step; tlsFailed sets Error() and ErrorText().
  TStep Handshake();
  bool Established() const { return established_; }

  // Plain bytes in and out. Read: n > 0 bytes, 0 with step tlsClosed when the peer
  // has closed, or -1 with step tlsWantRead / tlsWantWrite / tlsFailed. Write: n > 0
  // bytes taken (possibly fewer than len), or -1 with the step.
  int Read(void* buffer, int len, TStep& step);
  int Write(const void* data, int len, TStep& step);
  // Bytes the session holds already (decrypted or raw), so no readiness will tell.
  bool HasPending() const;
  // Sends the close notice once (non-blocking; the peer's answer is not awaited).
  void Shutdown();

  // Completion error (kTlsHandshakeFailed, kTlsCertificateFailed or a WinSock number
  // of the transport) and its text, e.g. "certificate verify failed: certificate
  // has expired".
  int Error() const { return error_; }
  const std::string& ErrorText() const { return errorText_; }

 private:
  TStep Fail(int result);

  struct Ssl;
  std::unique_ptr<Ssl> ssl_;
  bool established_ = false;
  bool shutdownSent_ = false;
  int error_ = 0;
  std::string errorText_;
};

}  // namespace quellion
