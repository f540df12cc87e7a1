#include "net/HttpCli.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "net/TlsSession.h"
#include "platform/Base64.h"
#include "platform/DecimalText.h"
#include "platform/RfcDate.h"
#include "platform/TextUtil.h"

namespace quellion {
namespace {

// Notifications of the client's own endpoint, run in the order queued.
constexpr uint32_t kMsgSetIdle = WM_USER + 1;      // WParam: request serial
constexpr uint32_t kMsgRequestDone = WM_USER + 2;  // WParam: request serial, LParam: error
constexpr uint32_t kMsgRestart = WM_USER + 3;      // WParam: request serial

bool HasLineBreakOrNul(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// A header value quoted in a reason, cut so a hostile header cannot flood it.
std::string Quoted(const std::string& text) {
  return "'" + (text.size() > 64 ? text.substr(0, 64) + "..." : text) + "'";
}

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
  ++requestSerial_;
  completedSerial_ = requestSerial_;
  relocationCount_ = 0;
  socket_->MultiThreaded = MultiThreaded;
  responseHeader_.clear();
  requestType_ = rqGet;
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
  // first address asked for); a relocation elsewhere goes without them.
  if (!url.User.empty() || authOrigin_.empty())
    authOrigin_ = CurrentOrigin();
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
  SendCommand("GET " + requestPath_ + " HTTP/1.0");
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
  acceptRanges_.clear();
  if (OnRequestHeaderEnd)
    OnRequestHeaderEnd(*this);
  SendCommand("");
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

void THttpCli::HandleLine() {
  if (bodyHandlerActive_)
    BodyChunk(lastResponse_.data(), static_cast<int>(lastResponse_.size()));
  else
    HeaderLine();
}

void THttpCli::HeaderLine() {
  if (headerLineCount_ == 0 && OnHeaderBegin)
    OnHeaderBegin(*this);
  ++headerLineCount_;
  const std::string line = lastResponse_;

  const bool statusLine =
      line.compare(0, 8, "HTTP/1.0") == 0 || line.compare(0, 8, "HTTP/1.1") == 0;
  if (ToUpperAscii(line.substr(0, 6)) == "<HTML>") {
    // No header at all: the response is the body. The line goes out with its own
    // line end and whatever follows it, so the body is exactly what was received.
    if (contentType_.empty())
      contentType_ = "text/html";
    answerBodyBytes_ = 0;
    SetState(httpReadingBody);
    bodyHandlerActive_ = true;
    if (OnHeaderEnd)
      OnHeaderEnd(*this);
    lastResponse_ = line + lastLineEnd_;
    lastResponse_.append(receiveBuffer_, receiveLen_);
    receiveLen_ = 0;
    BodyChunk(lastResponse_.data(), static_cast<int>(lastResponse_.size()));
    return;
  }

  if (headerLineCount_ == 1 && !statusLine) {
    FailRequest(kHttpErrorBadAnswer, "no status line in the answer: " + Quoted(line));
    return;
  }
  if (!line.empty()) {
    responseHeader_.push_back(line);
    if (statusLine) {
      if (line.size() < 12 || line[8] != ' ' || !std::isdigit(uint8_t(line[9])) ||
          !std::isdigit(uint8_t(line[10])) || !std::isdigit(uint8_t(line[11])) ||
          (line.size() > 12 && line[12] != ' ')) {
        FailRequest(kHttpErrorBadAnswer, "bad status line in the answer: " + Quoted(line));
        return;
      }
      statusCode_ = DecimalToInt32(line.substr(9, 3));
      http11_ = line.compare(0, 8, "HTTP/1.1") == 0;
      chunked_ = false;
      reasonPhrase_ = line.size() > 13 ? line.substr(13) : std::string();
    } else {
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        const std::string name = ToLowerAscii(line.substr(0, colon));
        size_t i = colon + 1;
        while (i + 1 < line.size() && line[i] == ' ')
          ++i;
        const std::string value = i < line.size() ? line.substr(i) : std::string();
        if (name == "location") {
          if (!CheckLocation(value))
            return;
          locationChangeRequested_ = true;
          ResolveLocation(value);
        } else if (name == "content-length") {
          int64_t length = 0;
          if (!ParseDecimalLength(value, length)) {
            FailRequest(kHttpErrorBadAnswer,
                        "invalid Content-Length in the answer: " + Quoted(value));
            return;
          }
          if (responseLength_ >= 0 && length != responseLength_) {
            FailRequest(kHttpErrorBadAnswer, "two different Content-Length values in the answer: " +
                                                 std::to_string(responseLength_) + " and " +
                                                 std::to_string(length));
            return;
          }
          contentLength_ = static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX));
          responseLength_ = length;
        } else if (name == "transfer-encoding") {
          chunked_ = ToLowerAscii(value).find("chunked") != std::string::npos;
        } else if (name == "content-range") {
          const size_t dash = value.find('-');
          const size_t slash = value.find('/');
          ContentRangeBegin =
              dash != std::string::npos && dash > 6 ? value.substr(6, dash - 6) : "";
          ContentRangeEnd = dash != std::string::npos && slash != std::string::npos && slash > dash
                                ? value.substr(dash + 1, slash - dash - 1)
                                : "";
        } else if (name == "accept-ranges") {
          acceptRanges_ = value;
        } else if (name == "content-type") {
          contentType_ = ToLowerAscii(value);
        } else if (name == "www-authenticate") {
          authenticateRequests_.push_back(value);
        } else if (name == "set-cookie") {
          bool accept = true;
          if (OnCookie)
            OnCookie(*this, value, accept);
        }
      }
    }
    if (OnHeaderData)
      OnHeaderData(*this);
    if (statusCode_ >= 400)
      socket_->Close();
    return;
  }

  if (locationChangeRequested_) {
    StartRelocation();
    return;
  }
  // An HTTP/1.1 answer frames its body (the connection may stay open after it).
  framing_ = kFramingNone;
  if (http11_ && chunked_) {
    decoder_ = TChunkedDecoder();
    framing_ = kFramingChunked;
  } else if (http11_ && responseLength_ >= 0) {
    bodyLeft_ = responseLength_;
    framing_ = kFramingLength;
  }
  answerBodyBytes_ = 0;
  SetState(httpReadingBody);
  bodyHandlerActive_ = true;
  if (OnHeaderEnd)
    OnHeaderEnd(*this);
  if (receiveLen_ > 0) {
    const int len = receiveLen_;
    receiveLen_ = 0;
    DeliverBody(receiveBuffer_, len);
  } else if (framing_ == kFramingLength && bodyLeft_ == 0) {
    EndOfBody();
  }
}

void THttpCli::DeliverBody(const char* data, int len) {
  switch (framing_) {
    case kFramingNone:
      BodyChunk(data, len);
      return;
    case kFramingDone:
      return;  // bytes past the end of the body
    case kFramingLength: {
      const int n = static_cast<int>(std::min<int64_t>(len, bodyLeft_));
      bodyLeft_ -= n;
      auto alive = alive_;
      if (n > 0)
        BodyChunk(data, n);
      if (*alive && bodyLeft_ == 0)
        EndOfBody();
      return;
    }
    case kFramingChunked: {
      auto alive = alive_;
      size_t consumed = 0;
      const auto result = decoder_.Feed(data, static_cast<size_t>(len), consumed,
                                        [this, alive](const char* p, size_t n) {
                                          if (*alive)
                                            BodyChunk(p, static_cast<int>(n));
                                        });
      if (!*alive)
        return;
      if (result == TChunkedDecoder::cdDone)
        EndOfBody();
      else if (result == TChunkedDecoder::cdError)
        FailRequest(kHttpErrorBadChunkedBody, "bad chunked encoding in the body");
      return;
    }
  }
}

void THttpCli::EndOfBody() {
  framing_ = kFramingDone;
  if (socket_->State() != wsClosed)
    socket_->Close();  // runs the closed handler
}

void THttpCli::BodyChunk(const char* data, int len) {
  if (bodyDataCount_ == 0 && OnDocBegin)
    OnDocBegin(*this);
  ++bodyDataCount_;
  receivedCount_ += len;
  answerBodyBytes_ += len;
  if (ReceiveStream)
    ReceiveStream->Write(data, static_cast<size_t>(len));
  if (OnDocData)
    OnDocData(*this, data, len);
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

// The connection closed on its own: a request that has not yet failed fails now when
// the answer is missing or cut short.
void THttpCli::CheckEndOfAnswer(uint16_t /*socketError*/) {
  if (completionError_ != 0)
    return;
  std::string reason;
  uint16_t error = kHttpErrorBadAnswer;
  if (state_ == httpConnected || state_ == httpReadingHeader) {
    if (statusCode_ >= 400)
      return;  // closed by the client at the error status line
    if (state_ == httpConnected || headerLineCount_ == 0)
      reason = "no answer: the connection closed before a status line";
    else
      reason = "answer cut short: the connection closed inside the header";
  } else if (state_ == httpReadingBody) {
    error = kHttpErrorBodyCutShort;
    if (framing_ == kFramingChunked)
      reason = "body cut short: the chunked body ended without its last chunk";
    else if (framing_ != kFramingDone && responseLength_ >= 0 && answerBodyBytes_ < responseLength_)
      reason = "body cut short: " + std::to_string(answerBodyBytes_) + " of " +
               std::to_string(responseLength_) + " bytes (Content-Length)";
  }
  if (reason.empty())
    return;
  completionError_ = error;
  statusCode_ = 404;
  reasonPhrase_ = reason;
}

void THttpCli::SocketSessionClosed(uint16_t error) {
  CheckEndOfAnswer(error);
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
