#include "net/HttpCli.h"

#include <algorithm>
#include <cstring>

#include "net/HttpCliInternal.h"
#include "net/TlsSession.h"
#include "platform/Base64.h"
#include "platform/DecimalText.h"
#include "platform/RfcDate.h"
#include "platform/TextUtil.h"

namespace quellion {
namespace {

using http_internal::kMsgRequestDone;
using http_internal::kMsgRestart;
using http_internal::kMsgSetIdle;

bool HasLineBreakOrNul(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------- THttpCli

THttpCli::THttpCli() : alive_(std::make_shared<bool>(true)) {
  window_ = std::make_unique<TMessageEndpoint>([this](TMessage& m) { HandleMessage(m); });
  socket_ = std::make_unique<TWSocket>();
  socket_->OnDnsLookupDone = [this](TCustomWSocket&, uint16_t e) { SocketDnsLookupDone(e); };
  socket_->OnSessionConnected = [this](TCustomWSocket&, uint16_t e) { SocketSessionConnected(e); };
  socket_->OnDataAvailable = [this](TCustomWSocket&, uint16_t e) { SocketDataAvailable(e); };
  socket_->OnDataSent = [](TCustomWSocket&, uint16_t) {};  // posting only
  socket_->OnTlsDone = [this](TCustomWSocket&, uint16_t e) { SocketTlsDone(e); };
  BindClosedHandler();
}

THttpCli::~THttpCli() {
  *alive_ = false;
  socket_.reset();  // closes an open connection without any event
  window_.reset();  // queued notifications are dropped
}

void THttpCli::BindClosedHandler() {
  socket_->OnSessionClosed = [this](TCustomWSocket&, uint16_t e) { SocketSessionClosed(e); };
}

void THttpCli::BindLocationClosedHandler() {
  socket_->OnSessionClosed = [this](TCustomWSocket&, uint16_t e) { LocationSessionClosed(e); };
}

void THttpCli::SetState(THttpCliState newState) {
  if (newState == state_)
    return;
  state_ = newState;
  if (newState == httpIdle)
    window_->Post(kMsgRequestDone, static_cast<uintptr_t>(requestSerial_), completionError_);
  if (OnStateChange)
    OnStateChange(*this);
}

void THttpCli::HandleMessage(TMessage& message) {
  switch (message.Msg) {
    case kMsgSetIdle:
      if (message.WParam == requestSerial_)
        SetState(httpIdle);
      break;
    case kMsgRequestDone:
      // A request superseded by a newer StartGet (Abort, then StartGet before the
      // thread pumped) has no one waiting for it: its completion must not end the
      // new request's wait.
      if (message.WParam != completedSerial_)
        break;
      if (OnRequestDone)
        OnRequestDone(*this, requestType_, static_cast<uint16_t>(message.LParam));
      break;
    case kMsgRestart:
      if (message.WParam != requestSerial_ || state_ == httpIdle || state_ == httpAborting)
        break;
      try {
        StartLookup();
      } catch (const std::exception&) {
        // The new location's host cannot even be looked up: end the request as a
        // failed lookup instead of leaving it busy for ever.
        completionError_ = WSAEINVAL;
        statusCode_ = 404;
        reasonPhrase_ = "can't resolve hostname to IP address: " + connectHost_;
        SocketSessionClosed(0);
      }
      break;
  }
}

void THttpCli::StartGet() {
  StartRequest(rqGet);
}

void THttpCli::StartPost() {
  StartRequest(rqPost);
}

void THttpCli::StartRequest(THttpRequest type) {
  if (state_ != httpIdle)
    throw EHttpException::Busy();
  // Values written into the request must not end a line of it or start another.
  const std::pair<const char*, const std::string*> written[] = {
      {"URL", &URL},
      {"Sender", &Sender},
      {"Reference", &Reference},
      {"Accept", &Accept},
      {"Agent", &Agent},
      {"Cookie", &Cookie},
      {"ContentRangeBegin", &ContentRangeBegin},
      {"ContentRangeEnd", &ContentRangeEnd}};
  for (const auto& [name, value] : written) {
    if (HasLineBreakOrNul(*value))
      throw EHttpException(std::string("request refused: ") + name + " holds CR, LF or NUL",
                           kHttpErrorUnsafeRequest);
  }
  for (const auto& [name, value] : ExtraHeaders) {
    if (HasLineBreakOrNul(name) || HasLineBreakOrNul(value))
      throw EHttpException("request refused: the header " + name + " holds CR, LF or NUL",
                           kHttpErrorUnsafeRequest);
  }
  // A POST also writes ContentTypePost as a header line; its body goes after the
  // header with its length, so any bytes may be in it.
  if (type == rqPost && HasLineBreakOrNul(ContentTypePost))
    throw EHttpException("request refused: ContentTypePost holds CR, LF or NUL",
                         kHttpErrorUnsafeRequest);
  ++requestSerial_;
  completedSerial_ = requestSerial_;
  relocationCount_ = 0;
  socket_->MultiThreaded = MultiThreaded;
  responseHeader_.clear();
  requestType_ = type;
  completionError_ = 0;
  locationChangeRequested_ = false;
  BindClosedHandler();
  SetState(httpStarting);
  statusCode_ = 0;
  receivedCount_ = 0;
  headerLineCount_ = 0;
  bodyDataCount_ = 0;
  contentLength_ = -1;
  contentType_.clear();
  location_ = URL;
  receiveLen_ = 0;

  const TUrlParts url = ParseUrl(URL);
  targetHost_ = url.Host;
  if (!url.User.empty())
    Username = url.User;
  if (!url.Pass.empty())
    Password = url.Pass;
  useTls_ = SameTextAscii(url.Proto, "https");
  targetPort_ = url.Port.empty() ? DefaultPort() : url.Port;
  absoluteTarget_ = (url.Proto.empty() ? "http" : url.Proto) + "://" + url.Host +
                    (url.Port.empty() ? "" : ":" + url.Port) + url.Path;
  tunnel_ = useTls_ && !Proxy.empty();
  if (Proxy.empty()) {
    requestPath_ = url.Path;
    connectHost_ = url.Host;
    connectPort_ = url.Port.empty() ? DefaultPort() : url.Port;
  } else {
    // Through the proxy: the absolute URL, or inside a tunnel the path alone.
    requestPath_ = tunnel_ ? url.Path : absoluteTarget_;
    const TUrlParts proxy = ParseUrl(Proxy);
    connectHost_ = proxy.Host;
    connectPort_ = proxy.Port.empty() ? ProxyPort : proxy.Port;
  }
  if (requestPath_.empty())
    requestPath_ = "/";
  // Credentials belong to the address they came with (or, set by the caller, to the
  // first address asked for with them); a relocation elsewhere goes without them.
  if (!url.User.empty() || authOrigin_.empty() || Username != authUsername_) {
    authOrigin_ = CurrentOrigin();
    authUsername_ = Username;
  }
  try {
    StartLookup();
  } catch (...) {
    // Nothing was started: the client is not left busy, and no OnRequestDone is owed.
    state_ = httpIdle;
    throw;
  }
}

void THttpCli::StartLookup() {
  dnsResult_.clear();
  SetState(httpResolving);
  socket_->DnsLookup(connectHost_);
}

void THttpCli::SocketDnsLookupDone(uint16_t error) {
  if (error != 0) {
    if (state_ == httpAborting)
      return;
    completionError_ = error;
    statusCode_ = 404;
    reasonPhrase_ = "can't resolve hostname to IP address: " + connectHost_;
    SocketSessionClosed(0);
    return;
  }
  if (state_ != httpResolving)
    return;  // a lookup answer the request no longer waits for
  dnsResult_ = socket_->DnsResult();
  SetState(httpConnecting);
  socket_->SetAddr(dnsResult_);
  socket_->SetPort(connectPort_);
  socket_->SetProto("tcp");
  try {
    socket_->Connect();
  } catch (const std::exception&) {
    const int code = socket_->LastError();
    completionError_ = static_cast<uint16_t>(code);
    statusCode_ = 404;
    reasonPhrase_ = "can't connect: " + SocketErrorText(code) + " (Error #" + std::to_string(code) +
                    "): " + connectHost_ + ":" + connectPort_;
    try {
      socket_->Close();
    } catch (const std::exception&) {
    }
    SocketSessionClosed(0);
  }
}

void THttpCli::SocketSessionConnected(uint16_t error) {
  if (error != 0) {
    completionError_ = error;
    statusCode_ = 404;
    reasonPhrase_ = SocketErrorText(error) + " (Error #" + std::to_string(error) +
                    "): " + connectHost_ + ":" + connectPort_;
    SocketSessionClosed(0);
    return;
  }
  SetState(httpConnected);
  if (OnSessionConnected)
    OnSessionConnected(*this);
  bodyHandlerActive_ = false;
  receiveLen_ = 0;
  framing_ = kFramingNone;
  http11_ = chunked_ = false;
  responseLength_ = -1;
  tunnelPhase_ = false;
  try {
    if (tunnel_) {
      SendTunnelRequest();
      return;
    }
    if (useTls_) {
      socket_->StartTls(targetHost_, CaFile);
      return;
    }
  } catch (const std::exception& e) {
    FailRequest(kTlsHandshakeFailed, e.what());
    return;
  }
  BeginRequest();
}

void THttpCli::BeginRequest() {
  SetState(httpReadingHeader);
  try {
    SendRequest();
  } catch (const std::exception&) {
    socket_->Close();
  }
}

void THttpCli::SocketTlsDone(uint16_t error) {
  if (state_ != httpConnected)
    return;  // the request has ended meanwhile
  if (error != 0) {
    FailRequest(error, socket_->TlsErrorText());
    return;
  }
  BeginRequest();
}

void THttpCli::SendTunnelRequest() {
  const std::string target = targetHost_ + ":" + targetPort_;
  std::string block = "CONNECT " + target + " HTTP/1.0\r\nHost: " + target + "\r\n";
  if (!Agent.empty())
    block += "User-Agent: " + Agent + "\r\n";
  if (!ProxyUsername.empty())
    block +=
        "Proxy-Authorization: Basic " + EncodeBase64(ProxyUsername + ":" + ProxyPassword) + "\r\n";
  block += "\r\n";
  tunnelPhase_ = true;
  tunnelStatus_ = -1;
  tunnelReason_.clear();
  socket_->Send(block.data(), static_cast<int>(block.size()));
}

void THttpCli::TunnelLine() {
  const std::string& line = lastResponse_;
  if (tunnelStatus_ < 0) {
    try {
      if (line.compare(0, 7, "HTTP/1.") != 0 || line.size() < 12)
        throw EException("no status line");
      tunnelStatus_ = DecimalToInt32(line.substr(9, 3));
    } catch (const EException&) {
      tunnelPhase_ = false;
      FailRequest(kHttpErrorTunnelRefused, "proxy refused the tunnel: no HTTP answer");
      return;
    }
    tunnelReason_ = line.size() > 13 ? line.substr(13) : std::string();
    return;
  }
  if (!line.empty())
    return;  // the proxy's own header lines
  tunnelPhase_ = false;
  receiveLen_ = 0;
  if (tunnelStatus_ < 200 || tunnelStatus_ > 299) {
    const std::string reason =
        "proxy refused the tunnel: " + std::to_string(tunnelStatus_) + " " + tunnelReason_;
    if (tunnelStatus_ >= 400) {
      FailRequest(0, reason);
      statusCode_ = tunnelStatus_;
    } else {
      FailRequest(kHttpErrorTunnelRefused, reason);
    }
    return;
  }
  try {
    socket_->StartTls(targetHost_, CaFile);
  } catch (const std::exception& e) {
    FailRequest(kTlsHandshakeFailed, e.what());  // not left to the read loop to swallow
  }
}

void THttpCli::SendCommand(const std::string& line) {
  std::string s = line;
  if (OnCommand)
    OnCommand(*this, s);
  requestBlock_ += s;
  requestBlock_ += "\r\n";
}

void THttpCli::SendRequest() {
  requestBlock_.clear();
  if (OnRequestHeaderBegin)
    OnRequestHeaderBegin(*this);
  const bool post = requestType_ == rqPost;
  SendCommand((post ? "POST " : "GET ") + requestPath_ + " HTTP/1.0");
  if (!Sender.empty())
    SendCommand("From: " + Sender);
  if (!Accept.empty())
    SendCommand("Accept: " + Accept);
  if (!Reference.empty())
    SendCommand("Referer: " + Reference);
  if (!Agent.empty())
    SendCommand("User-Agent: " + Agent);
  SendCommand("Host: " + targetHost_);
  if (NoCache)
    SendCommand("Pragma: no-cache");
  if (ModifiedSince != 0)
    SendCommand("If-Modified-Since: " + FormatRfcDate(ModifiedSince) + " GMT");
  if (!Username.empty() && CurrentOrigin() == authOrigin_)
    SendCommand("Authorization: Basic " + EncodeBase64(Username + ":" + Password));
  if (!Proxy.empty() && !ProxyUsername.empty())
    SendCommand("Proxy-Authorization: Basic " + EncodeBase64(ProxyUsername + ":" + ProxyPassword));
  if (!Cookie.empty())
    SendCommand("Cookie: " + Cookie);
  if (!ContentRangeBegin.empty() || !ContentRangeEnd.empty()) {
    SendCommand("Range: bytes=" + ContentRangeBegin + "-" + ContentRangeEnd);
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
  }
  for (const auto& [name, value] : ExtraHeaders)
    SendCommand(name + ": " + value);
  if (post) {
    SendCommand("Content-Type: " + ContentTypePost);
    SendCommand("Content-Length: " + std::to_string(PostBody.size()));
  }
  acceptRanges_.clear();
  if (OnRequestHeaderEnd)
    OnRequestHeaderEnd(*this);
  SendCommand("");
  if (post)
    requestBlock_ += PostBody;
  const std::string block = std::move(requestBlock_);
  requestBlock_.clear();
  socket_->Send(block.data(), static_cast<int>(block.size()));
}

void THttpCli::SocketDataAvailable(uint16_t /*error*/) {
  const int space = kBufferSize - receiveLen_;
  if (space <= 0)
    throw EHttpException::LineTooLong();
  const int n = socket_->Receive(receiveBuffer_ + receiveLen_, space);
  if (n < 0 && useTls_ && requestType_ != rqNone && socket_->LastError() != WSAEWOULDBLOCK &&
      !socket_->TlsErrorText().empty() &&
      (state_ == httpReadingHeader || state_ == httpReadingBody)) {
    // A broken TLS session (a forged record, garbage after the handshake) ends the
    // answer here, not later as if the server had closed normally.
    FailRequest(static_cast<uint16_t>(socket_->LastError()), socket_->TlsErrorText());
    return;
  }
  if (requestType_ == rqNone || n <= 0)
    return;
  receiveLen_ += n;
  receiveBuffer_[receiveLen_] = 0;

  if (state_ == httpReadingBody) {
    // The whole buffer is the chunk, passed on in place.
    const int len = receiveLen_;
    receiveLen_ = 0;
    if (bodyHandlerActive_)
      DeliverBody(receiveBuffer_, len);
    else
      HandleLine();
    return;
  }
  auto alive = alive_;
  while (receiveLen_ > 0) {
    const size_t limit = strnlen(receiveBuffer_, receiveLen_);
    const char* lf = static_cast<const char*>(std::memchr(receiveBuffer_, '\n', limit));
    if (!lf)
      break;
    const int lineLen = static_cast<int>(lf - receiveBuffer_);
    const bool cr = lineLen > 0 && receiveBuffer_[lineLen - 1] == '\r';
    lastResponse_.assign(receiveBuffer_, cr ? lineLen - 1 : lineLen);
    lastLineEnd_ = cr ? "\r\n" : "\n";
    receiveLen_ -= lineLen + 1;
    std::memmove(receiveBuffer_, lf + 1, receiveLen_);
    receiveBuffer_[receiveLen_] = 0;
    if (tunnelPhase_) {
      TunnelLine();
      if (!*alive || !tunnelPhase_)
        return;  // whatever follows the proxy's answer belongs to the TLS session
    } else if (state_ == httpReadingHeader || state_ == httpReadingBody) {
      HandleLine();
      if (!*alive)
        return;
    }
  }
  // A full buffer without a line end can never become a line: waiting would only
  // stall the request until the peer or the caller gives up.
  if (receiveLen_ >= kBufferSize && (state_ == httpReadingHeader || tunnelPhase_) &&
      socket_->State() == wsConnected)
    FailRequest(kHttpErrorLineTooLong, "HTTP line too long");
}

void THttpCli::FailRequest(uint16_t error, const std::string& reason) {
  completionError_ = error;
  statusCode_ = 404;
  reasonPhrase_ = reason;
  receiveLen_ = 0;
  BindClosedHandler();
  if (socket_->State() != wsClosed)
    socket_->Close();  // runs the closed handler
  else
    SocketSessionClosed(0);
}

void THttpCli::SocketSessionClosed(uint16_t /*error*/) {
  CheckEndOfAnswer();
  if (bodyDataCount_ > 0 && OnDocEnd)
    OnDocEnd(*this);
  window_->Post(kMsgSetIdle, static_cast<uintptr_t>(requestSerial_));
}

const char* THttpCli::DefaultPort() const {
  return useTls_ ? "443" : "80";
}

void THttpCli::Abort() {
  if (state_ == httpIdle) {
    if (socket_->State() != wsClosed)
      socket_->Close();
    return;
  }
  tunnelPhase_ = false;
  const bool wasResolving = state_ == httpResolving;
  SetState(httpAborting);
  if (wasResolving) {
    try {
      socket_->CancelDnsLookup();
    } catch (const std::exception&) {
    }
  }
  statusCode_ = 404;
  reasonPhrase_ = "Connection aborted on request";
  completionError_ = kHttpErrorAborted;
  if (wasResolving)
    SocketSessionClosed(0);
  else
    socket_->Close();
  SetState(httpIdle);
  ++requestSerial_;  // set-idle and restart notifications still queued are stale now
  completedSerial_ = requestSerial_ - 1;  // the request-done just queued still counts
}

}  // namespace quellion
