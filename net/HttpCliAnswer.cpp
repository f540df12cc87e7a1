#include <algorithm>
#include <cctype>

#include "net/HttpCli.h"
#include "net/HttpCliInternal.h"
#include "platform/DecimalText.h"
#include "platform/TextUtil.h"

// The client's reading of an answer: header lines, the body's framing and delivery,
// and whether the answer ended whole.

namespace quellion {

using http_internal::Quoted;

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

// The connection closed on its own: a request that has not yet failed fails now when
// the answer is missing or cut short.
void THttpCli::CheckEndOfAnswer() {
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

}  // namespace quellion
