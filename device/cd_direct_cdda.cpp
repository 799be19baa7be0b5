#include "device/cd_direct_cdda.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/mmc_commands.h"
#include "util/message_box.h"

namespace {

// Frames are told apart by their first 16 words.
constexpr std::uint32_t kCompareBytes = 64;
// Without jitter correction a read of one frame is enough; with it one frame
// of every read is the overlap, so a one-frame read could never add a frame.
constexpr std::uint32_t kMinFramesWithOverlap = 2;

}  // namespace

CDirectCDDA::CDirectCDDA() { buffer_.Create(kBlockBytes, kInitialBlocks); }

int CDirectCDDA::OpenTrack(int track) {
  if (!TestUnitReady()) return kReaderNotReady;
  if (ReadToc() <= 0) return kReaderNoToc;
  // Only real tracks: key 0 (the whole disc) and the lead-out are no tracks.
  TrackEntry entry;
  if (track < 1 || track > 99 || !GetTrackEntry(track, &entry)) return kReaderNoTrack;
  track_ = entry;
  if (entry.dataTrack) return kReaderDataTrack;
  OpenDevice();
  return kReaderOk;
}

int CDirectCDDA::CloseTrack() { return CloseDevice(); }

std::uint32_t CDirectCDDA::SetBufferBlocks(std::uint32_t blocks) {
  // No blocks at all would leave a buffer that can never fill.
  blocks = std::max<std::uint32_t>(blocks, 1);
  blocks = std::min<std::uint32_t>(blocks, UINT32_MAX / kBlockBytes);
  std::lock_guard<std::mutex> lock(positionLock_);
  ++generation_;
  haveReference_ = false;
  return buffer_.SetBlocks(blocks);
}

void CDirectCDDA::SetJitterCorrection(int on) { jitter_.store(on ? 1 : 0, std::memory_order_relaxed); }

int CDirectCDDA::Seek(std::uint32_t frame) {
  std::lock_guard<std::mutex> lock(positionLock_);
  buffer_.Clear();
  haveReference_ = false;
  stalledReads_ = 0;
  lastReadResult_.store(kReaderOk, std::memory_order_release);
  position_.store(frame, std::memory_order_release);
  ++generation_;
  return 1;
}

void CDirectCDDA::SetFramesPerRead(std::uint32_t frames) {
  framesPerRead_.store(std::min(std::max<std::uint32_t>(frames, 1), kMaxFramesPerRead), std::memory_order_relaxed);
}

int CDirectCDDA::ReadFrames(std::uint32_t address, std::uint32_t frames, std::uint8_t* destination,
                            std::uint32_t* count) {
  const std::uint32_t length = track_.length;
  std::uint32_t send = frames;
  if (static_cast<std::uint64_t>(address) + frames > length) {
    if (address >= length || *count == 0) return kReaderEndOfTrack;
    send = length - address;
  }
  const std::uint32_t dataLength = frames * kFrameBytes;
  std::memset(destination, 0, dataLength);
  const mmc::Cdb12 cdb = mmc::ReadCd(track_.start + address, static_cast<std::uint8_t>(send));
  ScsiTransport* transport = Transport();
  if (transport == nullptr ||
      transport->Send(cdb.data(), static_cast<std::uint8_t>(cdb.size()), destination, dataLength) != 0) {
    char text[160];
    std::snprintf(text, sizeof text, "Error:SendCommand\nReadFrames=%u\nTempReadFrames=%u\nLength=%u\nLBA=%u\n",
                  static_cast<unsigned>(frames), static_cast<unsigned>(send), static_cast<unsigned>(length),
                  static_cast<unsigned>(address));
    msgbox::ShowAbortable(errorBoxOwner_.load(std::memory_order_relaxed), text, "エラー - CDirectCDDA",
                          msgbox::kOk | msgbox::kIconError);
    return kReaderReadError;
  }
  *count = send;
  return kReaderOk;
}

int CDirectCDDA::MatchOverlap(const std::uint8_t* frames, std::uint32_t count) {
  std::uint8_t reference[kCompareBytes];
  std::uint32_t got = 0;
  if (count == 0) return 0;
  if (!buffer_.PeekNewest(reference, kFrameBytes, kCompareBytes, &got) || got != kCompareBytes) {
    if (!haveReference_) return 0;
    std::memcpy(reference, reference_, kCompareBytes);
  }
  // The drive landed early: frames[0..i] are held already.
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    if (std::memcmp(frames + i * kFrameBytes, reference, kCompareBytes) == 0) return static_cast<int>(i + 1);
  }
  // frames[0] is the j-th newest frame held. The search goes past the frames
  // read: a read landing so early that it lies wholly inside the data held
  // must not be taken for new data.
  const std::uint32_t held = buffer_.Held() / kFrameBytes;
  const std::uint32_t limit = std::min(count + kMaxFramesPerRead, held);
  std::uint8_t older[kCompareBytes];
  for (std::uint32_t j = 1; j <= limit; ++j) {
    if (!buffer_.PeekNewest(older, j * kFrameBytes, kCompareBytes, &got) || got != kCompareBytes) break;
    if (std::memcmp(frames, older, kCompareBytes) == 0) return -static_cast<int>(j);
  }
  // The read's last frame is held already (its first one may have been
  // played meanwhile): the read brought nothing new.
  const std::uint8_t* last = frames + (count - 1) * kFrameBytes;
  for (std::uint32_t j = 1; j <= limit; ++j) {
    if (!buffer_.PeekNewest(older, j * kFrameBytes, kCompareBytes, &got) || got != kCompareBytes) break;
    if (std::memcmp(last, older, kCompareBytes) == 0) return -static_cast<int>(j + count - 1);
  }
  if (std::memcmp(last, reference, kCompareBytes) == 0) return -static_cast<int>(count);
  // No match: take the read as landing where it was asked.
  return -1;
}

namespace {
// Reads without progress before one is taken at its nominal place.
constexpr std::uint32_t kStalledReadsBeforeNominal = 3;
}  // namespace

int CDirectCDDA::Fill(std::uint32_t framesWanted) {
  if (framesWanted == 0) return kReaderOk;
  std::uint32_t added = 0;
  std::uint32_t previous = kMaxFramesPerRead;  // no read yet in this call
  for (;;) {
    std::uint32_t generation, position;
    bool overlap;
    {
      std::lock_guard<std::mutex> lock(positionLock_);
      generation = generation_;
      position = position_.load(std::memory_order_relaxed);
      // Also covers a seek past the end: nothing is left to read.
      if (position >= track_.length) {
        lastReadResult_.store(kReaderEndOfTrack, std::memory_order_release);
        return kReaderEndOfTrack;
      }
      // Overlap only with a frame to line up against: right after a seek
      // the read starts at the frame asked for.
      overlap = JitterCorrection() != 0 && position > 0 && haveReference_;
    }
    const bool jitter = JitterCorrection() != 0;
    std::uint32_t frames = FramesPerRead();
    if (jitter) frames = std::max(frames, kMinFramesWithOverlap);
    std::uint32_t start = overlap ? position - 1 : position;
    // Near the end of the track a clipped read would be too short to find
    // the overlap in when the drive lands early; a full run ending at the
    // track end overlaps more instead.
    const std::uint32_t length = track_.length;
    if (overlap && static_cast<std::uint64_t>(start) + frames > length && length >= frames) start = length - frames;
    std::uint32_t count = previous;
    const int result = ReadFrames(start, frames, scratch_, &count);

    std::lock_guard<std::mutex> lock(positionLock_);
    if (generation != generation_) {
      // A seek came in while reading: what was read belongs to the old place.
      previous = kMaxFramesPerRead;
      continue;
    }
    lastReadResult_.store(result, std::memory_order_release);
    if (result != kReaderOk) return result;

    std::uint32_t first = 0;
    bool newestIsLastRead = true;
    if (jitter) {
      int k = MatchOverlap(scratch_, count);
      // Nothing to line up against although an overlap was asked for: take
      // the read as landing where it was asked.
      if (k == 0 && overlap) k = 1;
      if (k < 0) {
        const std::uint32_t back = static_cast<std::uint32_t>(-k);
        if (back <= count) {
          buffer_.OverwriteNewest(scratch_, back * kFrameBytes, back * kFrameBytes);
        } else {
          newestIsLastRead = false;  // old data only: nothing to replace
        }
        first = std::min(back, count);
      } else {
        first = std::min(static_cast<std::uint32_t>(k), count);
      }
    }
    std::uint32_t run = count - first;
    if (run == 0 && ++stalledReads_ >= kStalledReadsBeforeNominal) {
      // The drive keeps answering with data already held (it lands late at
      // the end of the disc, or always early): take the read as landing
      // where it was asked, so that the track always comes to its end.
      first = std::min(position - start, count);
      run = count - first;
      newestIsLastRead = true;
    }
    if (run > 0) stalledReads_ = 0;
    if (run > 0 && !buffer_.Write(scratch_ + first * kFrameBytes, run * kFrameBytes)) return kReaderBufferFull;
    if (newestIsLastRead && count > 0) {
      std::memcpy(reference_, scratch_ + (count - 1) * kFrameBytes, kCompareBytes);
      haveReference_ = true;
    }
    position_.store(position + run, std::memory_order_release);
    added += run;
    previous = run;
    // A read that brought nothing new (the drive keeps landing inside the
    // data held): hand control back rather than spin here.
    if (run == 0 || added >= framesWanted) return kReaderOk;
  }
}

int CDirectCDDA::TakeFrames(std::uint32_t frames, void* destination, std::uint32_t* taken) {
  std::uint32_t dummy = 0;
  if (taken == nullptr) taken = &dummy;
  *taken = 0;
  // Loaded before the buffer is looked at: a result that ends the track is
  // stored after its last frames were appended, so those are seen below.
  const int last = LastReadResult();
  frames = std::min(frames, UINT32_MAX / kFrameBytes);
  std::uint32_t bytes = 0;
  if (frames > 0 && destination != nullptr && buffer_.Read(destination, frames * kFrameBytes, &bytes) && bytes > 0) {
    *taken = bytes / kFrameBytes;
    return kReaderOk;
  }
  return last;
}
