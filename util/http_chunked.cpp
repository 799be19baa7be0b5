#include "util/http_chunked.h"

#include <algorithm>

namespace {

// No reply we read comes near these; a peer beyond them is not speaking
// the coding in good faith.
constexpr int kMaxSizeDigits = 7;              // chunks under 256 MiB
constexpr std::size_t kMaxLineBytes = 4096;    // extensions, trailer

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

ChunkedDecoder::Outcome ChunkedDecoder::Feed(const char* bytes, std::size_t length, std::string* out) {
  std::size_t i = 0;
  while (i < length) {
    if (state_ == kEnd) return kDone;
    if (state_ == kError) return kBad;
    if (state_ == kData) {
      // Data is copied in runs, not byte by byte.
      const std::size_t run = std::min<std::size_t>(size_, length - i);
      out->append(bytes + i, run);
      i += run;
      size_ -= static_cast<std::uint32_t>(run);
      if (size_ == 0) state_ = kDataCr;
      continue;
    }
    if (Step(bytes[i++]) == kBad) {
      state_ = kError;
      return kBad;
    }
  }
  return state_ == kEnd ? kDone : state_ == kError ? kBad : kMore;
}

ChunkedDecoder::Outcome ChunkedDecoder::Step(char c) {
  switch (state_) {
    case kSize: {
      const int v = HexValue(c);
      if (v >= 0) {
        if (++digits_ > kMaxSizeDigits) return kBad;
        size_ = size_ * 16 + static_cast<std::uint32_t>(v);
        return kMore;
      }
      if (digits_ == 0) return kBad;
      if (c == ';' || c == ' ' || c == '\t') {
        state_ = kExtension;
        lineBytes_ = 0;
        return kMore;
      }
      if (c != '\r') return kBad;
      state_ = kSizeLf;
      return kMore;
    }
    case kExtension:
      if (c == '\r') {
        state_ = kSizeLf;
      } else if (c == '\n' || ++lineBytes_ > kMaxLineBytes) {
        return kBad;
      }
      return kMore;
    case kSizeLf:
      if (c != '\n') return kBad;
      digits_ = 0;
      state_ = size_ == 0 ? kTrailerStart : kData;
      lineBytes_ = 0;
      return kMore;
    case kDataCr:
      if (c != '\r') return kBad;
      state_ = kDataLf;
      return kMore;
    case kDataLf:
      if (c != '\n') return kBad;
      state_ = kSize;
      size_ = 0;
      return kMore;
    case kTrailerStart:
      if (c == '\r') {
        state_ = kTrailerLf;
        return kMore;
      }
      state_ = kTrailerLine;
      [[fallthrough]];
    case kTrailerLine:
      if (++lineBytes_ > kMaxLineBytes) return kBad;
      if (c == '\n') state_ = kTrailerStart;
      return kMore;
    case kTrailerLf:
      if (c != '\n') return kBad;
      state_ = kEnd;
      return kDone;
    case kData:
    case kEnd:
    case kError:
      break;
  }
  return kBad;
}
