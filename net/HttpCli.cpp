#include "net/HttpCli.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "net/TlsSession.h"
#include "platform/TextUtil.h"

namespace quellion {
namespace {

// Notifications of the client's own endpoint, run in the order queued.
constexpr uint32_t kMsgSetIdle = WM_USER + 1;      // WParam: request serial
constexpr uint32_t kMsgRequestDone = WM_USER + 2;  // WParam: request serial, LParam: error
constexpr uint32_t kMsgRestart = WM_USER + 3;      // WParam: request serial

// Decimal text to a 32-bit integer; leading blanks and a sign allowed, nothing
// after the digits. Anything else is a conversion error.
int32_t ToInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  if (i >= text.size())
    throw EException("'" + text + "' is not a valid integer value");
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || value > INT32_MAX)
      throw EException("'" + text + "' is not a valid integer value");
    value = value * 10 + (text[i] - '0');
  }
  if (negative)
    value = -value;
  if (value > INT32_MAX || value < INT32_MIN)
    throw EException("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(value);
}

// "Wkd, DD Mon YYYY HH:MM:SS" of a date-time counted in days from 1899-12-30.
std::string RfcDate(double dateTime) {
  const double whole = std::floor(dateTime);
  const int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround((dateTime - whole) * 86400.0);
  int64_t dayNumber = days;
  if (seconds >= 86400) {
    seconds -= 86400;
    ++dayNumber;
  }
  // Civil date from days since 1970-01-01 (1899-12-30 is 25569 days before it).
  int64_t z = dayNumber - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t year = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2)
    ++year;
  // 1899-12-30 was a Saturday; index into Mon..Sun.
  const int weekday = static_cast<int>(((dayNumber % 7) + 7 + 5) % 7);
  static const char* kDays = "MonTueWedThuFriSatSun";
  static const char* kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  return std::string(kDays + weekday * 3, 3) + ", " +
         Format("%2.2d %s %4.4d %2.2d:%2.2d:%2.2d", static_cast<int>(day),
                std::string(kMonths + (month - 1) * 3, 3).c_str(), static_cast<int>(year),
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
}

void SplitAuthority(const std::string& s, TUrlParts& r) {
  const size_t slash = s.find('/');
  const std::string authority = s.substr(0, slash);
  if (slash != std::string::npos)
    r.Path = s.substr(slash);
  const size_t colon = authority.rfind(':');
  const size_t at = authority.rfind('@');
  if (colon == std::string::npos && at == std::string::npos) {
    r.Host = authority;
    return;
  }
  if (colon != std::string::npos && (at == std::string::npos || colon > at)) {
    const size_t hostStart = at == std::string::npos ? 0 : at + 1;
    r.Port = authority.substr(colon + 1);
    r.Host = authority.substr(hostStart, colon - hostStart);
  } else {
    r.Host = authority.substr(at + 1);
  }
  if (at != std::string::npos) {
    const std::string userInfo = authority.substr(0, at);
    const size_t c = userInfo.find(':');
    r.User = userInfo.substr(0, c);
    if (c != std::string::npos)
      r.Pass = userInfo.substr(c + 1);
  }
}

}  // namespace

TUrlParts ParseUrl(const std::string& url) {
  TUrlParts r;
  if (url.empty())
    return r;
  const size_t sep = url.find("://");
  if (sep != std::string::npos) {
    r.Proto = url.substr(0, sep);
    SplitAuthority(url.substr(sep + 3), r);
  } else if (url[0] == '/') {
    r.Proto = "http";
    if (url.size() > 1 && url[1] != '/')
      r.Path = url;
    else
      SplitAuthority(url.substr(1), r);
  } else if (StartsWithTextAscii(url, "http:")) {
    r.Proto = "http";
    if (url.size() > 6 && url[6] != '/')
      r.Path = url.substr(5);
    else
      SplitAuthority(url.size() > 6 ? url.substr(6) : std::string(), r);
  } else if (StartsWithTextAscii(url, "mailto:")) {
    r.Proto = "mailto";
    SplitAuthority(url.substr(url.find(':') + 1), r);
  } else {
    SplitAuthority(url, r);
  }
  return r;
}

std::string EncodeBase64(const std::string& data) {
  static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    const uint32_t v =
        (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8) | uint8_t(data[i + 2]);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i + 1 == data.size()) {
    const uint32_t v = uint8_t(data[i]) << 16;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == data.size()) {
    const uint32_t v = (uint8_t(data[i]) << 16) | (uint8_t(data[i + 1]) << 8);
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

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
        reasonPhrase_ = "can't resolve hostname to IP address";
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
    throw EHttpException("HTTP component is busy", 1);
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
    reasonPhrase_ = "can't resolve hostname to IP address";
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
    reasonPhrase_ =
        "can't connect: " + SocketErrorText(code) + " (Error #" + std::to_string(code) + ")";
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
    reasonPhrase_ = SocketErrorText(error) + " (Error #" + std::to_string(error) + ")";
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
      tunnelStatus_ = ToInt(line.substr(9, 3));
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
    SendCommand("If-Modified-Since: " + RfcDate(ModifiedSince) + " GMT");
  if (!Username.empty())
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
    throw EHttpException("HTTP line too long", 4);
  const int n = socket_->Receive(receiveBuffer_ + receiveLen_, space);
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

  if (ToUpperAscii(line.substr(0, 6)) == "<HTML>") {
    // No header at all: the response is the body. The line goes out with its own
    // line end and whatever follows it, so the body is exactly what was received.
    if (contentType_.empty())
      contentType_ = "text/html";
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

  if (!line.empty()) {
    responseHeader_.push_back(line);
    if (line.compare(0, 8, "HTTP/1.0") == 0 || line.compare(0, 8, "HTTP/1.1") == 0) {
      statusCode_ = ToInt(line.size() > 9 ? line.substr(9, 3) : std::string());
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
          locationChangeRequested_ = true;
          ResolveLocation(value);
        } else if (name == "content-length") {
          contentLength_ = ToInt(value);
          responseLength_ = contentLength_;
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
  requestType_ = rqGet;  // the new address is asked for with a GET
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

void THttpCli::SocketSessionClosed(uint16_t /*error*/) {
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
