// Arbitrary bytes through the chunked decoder, whole and in pieces: the outcome, the
// bytes consumed and the payload must not depend on how the input is split, and the
// payload can never be longer than the input.
//
// Input: the first byte seeds the split points; the rest is the body.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/ChunkedDecoder.h"

namespace {

using quellion::TChunkedDecoder;

struct TOutcome {
  TChunkedDecoder::TResult result = TChunkedDecoder::cdMore;
  size_t consumed = 0;
  std::string payload;
};

TOutcome Decode(const char* data, size_t len, unsigned seed) {
  TChunkedDecoder decoder;
  TOutcome o;
  const auto out = [&o](const char* p, size_t n) { o.payload.append(p, n); };
  size_t pos = 0;
  while (pos < len) {
    size_t piece = len - pos;
    if (seed != 0) {
      seed = seed * 1103515245u + 12345u;
      piece = std::min<size_t>(piece, 1 + (seed >> 16) % 7);
    }
    size_t consumed = 0;
    o.result = decoder.Feed(data + pos, piece, consumed, out);
    if (consumed > piece)
      std::abort();
    o.consumed += consumed;
    pos += piece;
    if (o.result != TChunkedDecoder::cdMore)
      break;
  }
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const unsigned seed = data[0] | 1u;
  const char* body = reinterpret_cast<const char*>(data + 1);
  const size_t len = size - 1;
  const TOutcome whole = Decode(body, len, 0);
  const TOutcome pieces = Decode(body, len, seed);
  if (whole.result != pieces.result || whole.payload != pieces.payload)
    std::abort();
  if (whole.result == TChunkedDecoder::cdDone && whole.consumed != pieces.consumed)
    std::abort();
  if (whole.payload.size() > len || whole.consumed > len)
    std::abort();
  return 0;
}
