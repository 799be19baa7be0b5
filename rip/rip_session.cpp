#include "rip/rip_session.h"

#include <algorithm>
#include <cstring>

#include "device/cd_device.h"
#include "device/mmc_commands.h"
#include "rip/crc32.h"
#include "util/critical_section.h"

namespace rip {

namespace {
constexpr std::uint64_t kFrameBytes64 = kFrameBytes;
// Marks kept without growing during a rip of an ordinary disc.
constexpr std::size_t kReservedMarks = 256;
}  // namespace

RipSession::RipSession(CdDevice& device, CCriticalSection& driveLock)
    : device_(device),
      lock_(driveLock),
      source_(device, driveLock, stop_),
      range_(source_, window_),
      secure_(range_, window_, *this),
      burst_(range_, window_, *this) {}

RipSession::~RipSession() {
  if (opened_) device_.CloseDevice();
}

int RipSession::Open(char letter, int track, const RipOptions& options) {
  if (opened_) device_.CloseDevice();
  opened_ = false;
  gone_ = false;
  reader_ = nullptr;
  report_ = TrackReport{};
  report_.track = track;
  if (device_.FindDrive(letter) == 0) return kRipNoDrive;
  {
    // One batch: the drive's state and its table of contents.
    CCriticalSection::Hold hold(&lock_);
    device_.SelectDrive(letter);
    if (!device_.TestUnitReady() || device_.ReadToc() <= 0) return kRipNotReady;
    toc_ = device_.Toc();
  }
  const auto entry = toc_.tracks.find(track);
  if (track < 1 || track > 99 || entry == toc_.tracks.end()) return kRipNoTrack;
  if (entry->second.dataTrack) return kRipDataTrack;

  std::uint8_t page[mmc::kCapabilitiesLength] = {};
  const mmc::Cdb10 sense = mmc::ModeSenseCapabilities();
  caps_ = source_.Send(sense.data(), static_cast<std::uint8_t>(sense.size()), page, sizeof page) == 0
              ? DecodeCapabilities(page, sizeof page)
              : DriveCapabilities{};
  // A drive that says 0 is more likely not to say than to have no buffer.
  const std::uint32_t kib =
      caps_.known && caps_.bufferKiB > 0 ? std::min(caps_.bufferKiB, kMaxCacheKiB) : kDefaultCacheKiB;
  cacheFrames_ = static_cast<std::uint32_t>((std::uint64_t{kib} * 1024 + kFrameBytes - 1) / kFrameBytes) + 1;

  options_ = options;
  options_.retries = std::clamp(options.retries, 2, 64);
  source_.SetC2(caps_.c2);
  {
    CCriticalSection::Hold hold(&lock_);
    device_.OpenDevice();
  }
  source_.SetUseOpenHandle(device_.IsOpen() != 0);

  const TrackEntry& t = entry->second;
  std::int32_t lo = 0, hi = 0;
  ReadableRange(track, &lo, &hi);
  window_.Setup(static_cast<std::int32_t>(t.start), t.length, options_.readOffset, lo, hi);
  range_.Reset();
  if (options_.secure) {
    secure_.Allocate(cacheFrames_, options_.retries, static_cast<std::uint32_t>(window_.EndLba() - window_.FirstLba()));
    secure_.SetVerifyLanding(!caps_.accurateStream);
    reader_ = &secure_;
  } else {
    burst_.SetOverlap(!caps_.accurateStream);
    reader_ = &burst_;
  }
  report_.frames = t.length;
  report_.suspicious.reserve(kReservedMarks);
  report_.unreadable.reserve(kReservedMarks);
  position_ = 0;
  crc_ = 0;
  wholeSoFar_ = true;
  chunk_ = Chunk{};
  readerNext_ = window_.FirstLba();
  reader_->Seek(readerNext_);
  opened_ = true;
  return kRipOpened;
}

void RipSession::ReadableRange(int track, std::int32_t* lo, std::int32_t* hi) const {
  const auto& t = toc_.tracks;
  auto audio = [&](int k) { return k >= 1 && k <= 99 && t.count(k) != 0 && t.at(k).dataTrack == 0; };
  int a = track;
  while (audio(a - 1) && t.at(a - 1).end + 1 == t.at(a).start) --a;
  int b = track;
  while (audio(b + 1) && t.at(b).end + 1 == t.at(b + 1).start) ++b;
  // Before an audio track 1 lies its pregap, audio too.
  *lo = a == 1 ? 0 : static_cast<std::int32_t>(t.at(a).start);
  *hi = static_cast<std::int32_t>(t.at(b).end) + 1;
}

std::intptr_t RipSession::GetData(char* dest, std::size_t len, const int* killswitch) {
  if (!opened_ || gone_ || stop_.Aborted() || (dest == nullptr && len > 0)) return -1;
  const std::uint64_t total = window_.TrackBytes();
  if (position_ >= total) return 0;
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(len, total - position_));
  stop_.SetKillswitch(killswitch);
  std::size_t copied = 0;
  while (copied < want) {
    std::int32_t lba;
    std::uint32_t within;
    window_.Locate(position_, &lba, &within);
    if (chunk_.count == 0 || lba < chunk_.lba || lba >= chunk_.lba + static_cast<std::int32_t>(chunk_.count)) {
      if (lba != readerNext_) reader_->Seek(lba);
      const int r = reader_->Next(&chunk_);
      report_.leadIn = range_.LeadIn();
      report_.leadOut = range_.LeadOut();
      if (r != kReadGood || chunk_.count == 0 || chunk_.lba != lba) {
        // Whatever the reader was doing is lost: the next call starts afresh.
        chunk_ = Chunk{};
        readerNext_ = INT32_MIN;
        if (r == kReadGood) break;  // nothing more to read: should not happen before the end
        wholeSoFar_ = false;
        if (r == kReadDriveGone) gone_ = true;
        stop_.SetKillswitch(nullptr);
        return -1;
      }
      readerNext_ = chunk_.lba + static_cast<std::int32_t>(chunk_.count);
    }
    const std::uint64_t offset = static_cast<std::uint64_t>(lba - chunk_.lba) * kFrameBytes64 + within;
    const std::uint64_t available = std::uint64_t{chunk_.count} * kFrameBytes64 - offset;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(available, want - copied));
    std::memcpy(dest + copied, chunk_.data + offset, n);
    crc_ = Crc32(crc_, dest + copied, n);
    copied += n;
    position_ += n;
  }
  stop_.SetKillswitch(nullptr);
  if (position_ >= total && wholeSoFar_) {
    report_.whole = true;
    report_.crc32 = crc_;
  }
  return static_cast<std::intptr_t>(copied);
}

int RipSession::SetTime(int millisecs) {
  if (!opened_) return 0;
  const std::uint64_t sample = static_cast<std::uint64_t>(std::max(millisecs, 0)) * 44100 / 1000;
  position_ = std::min(sample * 4, window_.TrackBytes());
  // Only a rip from the very start gives the whole track's CRC.
  wholeSoFar_ = position_ == 0;
  crc_ = 0;
  report_.whole = false;
  return 1;
}

void RipSession::Mark(std::vector<std::uint32_t>& list, std::int32_t lba) {
  std::uint32_t first, last;
  if (!window_.TrackFramesOf(lba, &first, &last)) return;
  for (std::uint32_t f = first; f <= last; ++f) {
    const auto at = std::lower_bound(list.begin(), list.end(), f);
    if (at == list.end() || *at != f) list.insert(at, f);
  }
}

void RipSession::MarkSuspicious(std::int32_t lba) { Mark(report_.suspicious, lba); }

void RipSession::MarkUnreadable(std::int32_t lba) { Mark(report_.unreadable, lba); }

}  // namespace rip
