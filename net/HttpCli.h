#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/ChunkedDecoder.h"
#include "net/Url.h"
#include "net/WSocket.h"
#include "platform/Exception.h"
#include "platform/StringStream.h"
#include "platform/ThreadQueue.h"

namespace quellion {

// An asynchronous HTTP/1.0 GET client over one TWSocket. Rules:
//  - Everything happens on the creating thread, in notifications of its queue; the
//    thread must pump while a request runs.
//  - Every StartGet that returns normally ends in exactly one OnRequestDone, from the
//    event loop (never from inside StartGet or Abort), with State back at httpIdle.
//    A completion still queued when the next StartGet is accepted (Abort, then
//    StartGet before the thread pumped) is dropped: it would end the new wait.
//  - A request ends with a failure after 20 relocations, and when a header line
//    does not fit the receive buffer (the connection is then closed).
//  - The body ends when the connection closes; an HTTP/1.1 answer's body also ends
//    after its Content-Length bytes or its last chunk (chunked bodies are decoded),
//    and the client then closes. Body bytes go to ReceiveStream at the stream's
//    current position.
//  - A broken answer fails the request (kHttpErrorBadAnswer, kHttpErrorBodyCutShort)
//    with a reason that says what was wrong: none at all, no status line, an invalid
//    or contradictory Content-Length, a body shorter than its Content-Length, a
//    chunked body without its last chunk, a TLS failure inside the body. The bytes
//    that did arrive stay in ReceiveStream. A body without Content-Length still ends
//    at the close.
//  - Credentials of the URL (or Username set by the caller) go only to the scheme,
//    host and port they were given for; a relocation elsewhere drops them. The
//    proxy's credentials always go to the proxy.
//  - A relocation to anything but an http or https address, or to a "location" with
//    blanks or control bytes, fails the request (kHttpErrorBadRelocation).
//  - https:// (default port 443): TLS inside the socket after the connect, through
//    a proxy inside a CONNECT tunnel; certificates are always verified.

enum THttpCliState {
  httpIdle,
  httpStarting,
  httpConnected,
  httpResolving,
  httpConnecting,
  httpReadingHeader,
  httpReadingBody,
  httpAborting
};

enum THttpRequest { rqNone, rqGet, rqPost, rqHead };

// Completion errors of the client itself, beside the socket layer's WinSock numbers
// and the TLS layer's (net/TlsSession.h). kHttpErrorBusy, kHttpErrorLineTooLong and
// kHttpErrorUnsafeRequest are also EHttpException codes.
inline constexpr uint16_t kHttpErrorBusy = 1;
inline constexpr uint16_t kHttpErrorAborted = 3;
inline constexpr uint16_t kHttpErrorLineTooLong = 4;
inline constexpr uint16_t kHttpErrorTooManyRelocations = 5;
inline constexpr uint16_t kHttpErrorBadChunkedBody = 6;
inline constexpr uint16_t kHttpErrorTunnelRefused = 7;  // a proxy's non-2xx answer below 400
// No answer, no status line, or a header that cannot frame the body (an invalid or
// twice different Content-Length).
inline constexpr uint16_t kHttpErrorBadAnswer = 8;
// The connection ended before the body did (short of its Content-Length, no last chunk,
// or a TLS failure in the middle of it).
inline constexpr uint16_t kHttpErrorBodyCutShort = 9;
// A "location" that is not an http or https address, or holds a blank or a control byte.
inline constexpr uint16_t kHttpErrorBadRelocation = 10;
// A URL or request header value holding CR, LF or NUL (raised by StartGet and StartPost).
inline constexpr uint16_t kHttpErrorUnsafeRequest = 11;

class EHttpException : public EException {
 public:
  EHttpException(std::string message, uint16_t code)
      : EException(std::move(message)), ErrorCode(code) {}
  static EHttpException Busy() { return {"HTTP component is busy", kHttpErrorBusy}; }
  static EHttpException LineTooLong() { return {"HTTP line too long", kHttpErrorLineTooLong}; }
  uint16_t ErrorCode;
};

class THttpCli {
 public:
  using TNotifyEvent = std::function<void(THttpCli& sender)>;
  using TOnCommand = std::function<void(THttpCli& sender, std::string& line)>;
  using TCookieRcvdEvent =
      std::function<void(THttpCli& sender, const std::string& data, bool& accept)>;
  using TDocDataEvent = std::function<void(THttpCli& sender, const char* buffer, int32_t len)>;
  using THttpRequestDone =
      std::function<void(THttpCli& sender, THttpRequest rqType, uint16_t error)>;

  static constexpr int kBufferSize = 8192;
  // Relocations followed for one StartGet; the next one fails the request.
  static constexpr int kMaxRelocations = 20;

  THttpCli();
  ~THttpCli();
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // --- properties set by callers ---
  std::string URL;
  std::string Proxy;
  std::string ProxyPort = "80";
  std::string ProxyUsername;
  std::string ProxyPassword;
  std::string Username;
  std::string Password;
  std::string Sender;
  std::string Reference;
  std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  std::string Agent = "Mozilla/3.0 (compatible)";
  bool NoCache = false;
  double ModifiedSince = 0;  // days since 1899-12-30, fraction = time of day
  std::string Cookie;
  // Further request header lines (name, value), written after the client's own; a
  // proxy's CONNECT request does not carry them.
  std::vector<std::pair<std::string, std::string>> ExtraHeaders;
  std::string ContentRangeBegin;
  std::string ContentRangeEnd;
  std::string ContentTypePost = "application/x-www-form-urlencoded";
  // The body StartPost sends (with ContentTypePost).
  std::string PostBody;
  bool MultiThreaded = false;
  // https: a CA file trusted besides the system's store (empty: the store only).
  std::string CaFile;
  // Not owned; must outlive every request that writes to it.
  TStringStream* ReceiveStream = nullptr;

  // --- results ---
  THttpCliState State() const { return state_; }
  // The last status line's code; 404 after every failure of the client itself (the
  // lookup, the connect, TLS, a broken answer, a refused relocation) and after Abort,
  // so only CompletionError tells those apart from a server's own 404.
  int32_t StatusCode() const { return statusCode_; }
  const std::string& ReasonPhrase() const { return reasonPhrase_; }
  uint16_t CompletionError() const { return completionError_; }
  int32_t ContentLength() const { return contentLength_; }
  const std::string& ContentType() const { return contentType_; }
  const std::string& AcceptRanges() const { return acceptRanges_; }
  const std::vector<std::string>& ResponseHeader() const { return responseHeader_; }
  const std::vector<std::string>& AuthenticateRequests() const { return authenticateRequests_; }
  int32_t ReceivedCount() const { return receivedCount_; }
  const std::string& Location() const { return location_; }
  const std::string& DnsResult() const { return dnsResult_; }
  // Where the connection goes (for diagnostics: the relocation fuzz target).
  const std::string& ConnectHost() const { return connectHost_; }
  const std::string& ConnectPort() const { return connectPort_; }

  // --- events (optional) ---
  TNotifyEvent OnStateChange;
  TNotifyEvent OnSessionConnected;
  TNotifyEvent OnRequestHeaderBegin;
  TOnCommand OnCommand;
  TNotifyEvent OnRequestHeaderEnd;
  TNotifyEvent OnHeaderBegin;
  TCookieRcvdEvent OnCookie;
  TNotifyEvent OnHeaderData;
  TNotifyEvent OnHeaderEnd;
  TNotifyEvent OnDocBegin;
  TDocDataEvent OnDocData;
  TNotifyEvent OnDocEnd;
  TNotifyEvent OnLocationChange;
  THttpRequestDone OnRequestDone;
  TNotifyEvent OnSendBegin, OnSendData, OnSendEnd, OnTrace;  // posting only; never fired

  // --- operations ---
  // Starts an asynchronous GET of URL. Raises EHttpException::Busy() unless idle, and
  // EHttpException(kHttpErrorUnsafeRequest) when URL or a header value holds CR, LF or
  // NUL (nothing changes then); exceptions of starting the lookup also reach the caller.
  void StartGet();
  // As StartGet, but POSTs PostBody to URL. A relocation answer (301/302/303) is
  // followed with a GET, as browsers do.
  void StartPost();
  // Ends the request in progress at once; OnRequestDone(Error 3) follows from the
  // event loop. While idle only closes a still-open socket.
  void Abort();

 private:
  void SetState(THttpCliState newState);
  void StartRequest(THttpRequest type);
  void StartLookup();
  void SendCommand(const std::string& line);
  void SendRequest();
  void SocketDnsLookupDone(uint16_t error);
  void SocketSessionConnected(uint16_t error);
  void SocketDataAvailable(uint16_t error);
  void SocketSessionClosed(uint16_t error);
  void LocationSessionClosed(uint16_t error);
  void BindClosedHandler();
  void BindLocationClosedHandler();
  void HandleLine();
  void HeaderLine();
  void BodyChunk(const char* data, int len);
  void ResolveLocation(const std::string& value);
  void StartRelocation();
  void HandleMessage(TMessage& message);
  void FailRequest(uint16_t error, const std::string& reason);
  bool CheckLocation(const std::string& value);
  void CheckEndOfAnswer();
  std::string CurrentOrigin() const;
  void BeginRequest();
  void SocketTlsDone(uint16_t error);
  void SendTunnelRequest();
  void TunnelLine();
  void DeliverBody(const char* data, int len);
  void EndOfBody();
  const char* DefaultPort() const;

  std::unique_ptr<TMessageEndpoint> window_;
  std::unique_ptr<TWSocket> socket_;
  std::shared_ptr<bool> alive_;

  THttpCliState state_ = httpIdle;
  THttpRequest requestType_ = rqNone;
  int32_t statusCode_ = 0;
  std::string reasonPhrase_;
  uint16_t completionError_ = 0;
  int32_t contentLength_ = -1;
  std::string contentType_;
  std::string acceptRanges_;
  std::vector<std::string> responseHeader_;
  std::vector<std::string> authenticateRequests_;
  int32_t receivedCount_ = 0;
  std::string location_;
  std::string dnsResult_;

  std::string connectHost_, connectPort_, targetHost_, requestPath_;
  std::string requestBlock_;
  char receiveBuffer_[kBufferSize + 1] = {};
  int receiveLen_ = 0;
  std::string lastResponse_;  // the current header line
  int headerLineCount_ = 0;
  int bodyDataCount_ = 0;
  bool bodyHandlerActive_ = false;  // next-line handler: body chunks instead of header lines
  bool locationChangeRequested_ = false;
  std::string lastLineEnd_;       // the line end cut from the current header line
  uint64_t requestSerial_ = 0;    // tells set-idle and restart of an ended request apart
  uint64_t completedSerial_ = 0;  // the request whose request-done is still owed
  int relocationCount_ = 0;
  std::string authOrigin_;    // scheme://host:port that Username and Password belong to
  std::string authUsername_;  // the Username bound to it

  // https and tunnels through the proxy
  bool useTls_ = false;       // the current target is an https address
  bool tunnel_ = false;       // ... reached through a CONNECT tunnel of the proxy
  bool tunnelPhase_ = false;  // the proxy's answer to CONNECT is being read
  int tunnelStatus_ = -1;
  std::string tunnelReason_;
  std::string targetPort_;      // the target's port (CONNECT names it)
  std::string absoluteTarget_;  // the current target as an absolute URL

  // Body framing of HTTP/1.1 answers
  enum TFraming { kFramingNone, kFramingLength, kFramingChunked, kFramingDone };
  bool http11_ = false;
  bool chunked_ = false;
  int64_t responseLength_ = -1;  // this connection's content-length (ContentLength lasts)
  int64_t answerBodyBytes_ = 0;  // body bytes of this connection's answer
  TFraming framing_ = kFramingNone;
  int64_t bodyLeft_ = 0;
  TChunkedDecoder decoder_;
};

}  // namespace quellion
