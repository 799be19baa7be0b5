#pragma once
// What the session asks of its two readers (secure, burst): the frames the
// track needs, in order of address, as runs that stay valid until the next
// call; and what they tell the session about frames that are not sure.
#include <cstdint>
#include <cstring>

namespace rip {

struct Chunk {
  const std::uint8_t* data = nullptr;
  std::int32_t lba = 0;
  std::uint32_t count = 0;
};

class MarkSink {
 public:
  virtual void MarkSuspicious(std::int32_t lba) = 0;
  virtual void MarkUnreadable(std::int32_t lba) = 0;
  virtual void CountRereads(std::uint32_t frames) = 0;

 protected:
  ~MarkSink() = default;
};

class ChunkReader {
 public:
  virtual ~ChunkReader() = default;
  // The next run starts at lba.
  virtual void Seek(std::int32_t lba) = 0;
  // kReadGood with the next run (count 0 past the track's last frame),
  // kReadDriveGone or kReadStopped.
  virtual int Next(Chunk* out) = 0;
};

// A 64-bit digest of one frame: what the first read of a frame leaves
// behind for the second one to be compared with.
inline std::uint64_t FrameHash(const std::uint8_t* frame) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 2352; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, frame + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  return h;
}

}  // namespace rip
