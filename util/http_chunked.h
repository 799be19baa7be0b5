#pragma once
// The chunked transfer coding of an HTTP/1.1 reply, decoded as it arrives.
// Some proxies and front ends use it even towards an HTTP/1.0 client; read
// as it is, its size lines would end up in the body.
#include <cstddef>
#include <cstdint>
#include <string>

class ChunkedDecoder {
 public:
  enum Outcome { kMore, kDone, kBad };

  // Decodes `length` bytes, appending the data to *out. kDone once the last
  // chunk and its trailer have arrived (later bytes are ignored); kBad for
  // anything that is not the coding (and from then on).
  Outcome Feed(const char* bytes, std::size_t length, std::string* out);

 private:
  enum State { kSize, kExtension, kSizeLf, kData, kDataCr, kDataLf, kTrailerStart, kTrailerLine, kTrailerLf, kEnd, kError };
  Outcome Step(char c);

  State state_ = kSize;
  std::uint32_t size_ = 0;
  int digits_ = 0;
  std::size_t lineBytes_ = 0;  // of a size line's extension or of the trailer
};
