#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quellion {

// Decodes a chunked transfer coding as it arrives, in pieces of any size: the chunk
// sizes, extensions, line ends and trailer are taken out, the payload is handed on.
// Bounded: a size line, an extension or a trailer line longer than kMaxLine bytes,
// or a chunk size above 2^48, is an error. Bare LF line ends are accepted.
class TChunkedDecoder {
 public:
  enum TResult { cdMore, cdDone, cdError };
  using TOutput = std::function<void(const char* data, size_t len)>;
  static constexpr size_t kMaxLine = 8192;

  // Consumes bytes of data up to the end of the body; payload pieces go to output
  // (pointers into data). consumed tells how many bytes were taken: all of them with
  // cdMore, those up to the end of the trailer with cdDone (the rest is not body).
  TResult Feed(const char* data, size_t len, size_t& consumed, const TOutput& output);
  bool Done() const { return phase_ == kDone; }

 private:
  enum TPhase { kSize, kExtension, kSizeLf, kData, kDataCr, kDataLf, kTrailer, kDone, kError };
  TResult SizeLineEnded();

  TPhase phase_ = kSize;
  uint64_t size_ = 0;
  int digits_ = 0;
  size_t lineLen_ = 0;
};

}  // namespace quellion
