#include "net/ChunkedDecoder.h"

#include <algorithm>

#include "platform/TextUtil.h"

namespace quellion {
namespace {

constexpr uint64_t kMaxChunk = uint64_t(1) << 48;

}  // namespace

TChunkedDecoder::TResult TChunkedDecoder::SizeLineEnded() {
  lineLen_ = 0;
  if (size_ == 0) {
    phase_ = kTrailer;
  } else {
    phase_ = kData;
  }
  return cdMore;
}

TChunkedDecoder::TResult TChunkedDecoder::Feed(const char* data, size_t len, size_t& consumed,
                                               const TOutput& output) {
  size_t i = 0;
  auto fail = [&] {
    phase_ = kError;
    consumed = i;
    return cdError;
  };
  while (i < len) {
    const char c = data[i];
    switch (phase_) {
      case kSize: {
        const int v = HexDigitValue(c);
        if (v >= 0) {
          size_ = size_ * 16 + static_cast<uint64_t>(v);
          if (size_ > kMaxChunk || ++digits_ > 13)
            return fail();
          ++i;
          break;
        }
        if (digits_ == 0)
          return fail();
        ++i;
        if (c == ';' || c == ' ' || c == '\t') {
          phase_ = kExtension;
          lineLen_ = 0;
        } else if (c == '\r') {
          phase_ = kSizeLf;
        } else if (c == '\n') {
          SizeLineEnded();
        } else {
          --i;
          return fail();
        }
        break;
      }
      case kExtension:
        ++i;
        if (c == '\n')
          SizeLineEnded();
        else if (++lineLen_ > kMaxLine)
          return fail();
        break;
      case kSizeLf:
        if (c != '\n')
          return fail();
        ++i;
        SizeLineEnded();
        break;
      case kData: {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size_, len - i));
        output(data + i, n);
        i += n;
        size_ -= n;
        if (size_ == 0)
          phase_ = kDataCr;
        break;
      }
      case kDataCr:
        ++i;
        if (c == '\r') {
          phase_ = kDataLf;
        } else if (c == '\n') {
          phase_ = kSize;
          digits_ = 0;
        } else {
          --i;
          return fail();
        }
        break;
      case kDataLf:
        if (c != '\n')
          return fail();
        ++i;
        phase_ = kSize;
        digits_ = 0;
        break;
      case kTrailer:
        ++i;
        if (c == '\n') {
          if (lineLen_ == 0) {
            phase_ = kDone;
            consumed = i;
            return cdDone;
          }
          lineLen_ = 0;
        } else if (c != '\r' && ++lineLen_ > kMaxLine) {
          return fail();
        }
        break;
      case kDone:
        consumed = i;
        return cdDone;
      case kError:
        return fail();
    }
  }
  consumed = i;
  if (phase_ == kDone)
    return cdDone;
  return phase_ == kError ? cdError : cdMore;
}

}  // namespace quellion
