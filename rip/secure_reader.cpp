#include "rip/secure_reader.h"

#include <algorithm>
#include <cstring>

namespace rip {

namespace {

// The most frequent value per byte (Boyer-Moore vote) over `count` reads.
void MajorityPerByte(const std::uint8_t* const* reads, std::uint32_t count, std::uint8_t* out) {
  for (std::uint32_t b = 0; b < kFrameBytes; ++b) {
    std::uint8_t candidate = reads[0][b];
    std::uint32_t weight = 1;
    for (std::uint32_t c = 1; c < count; ++c) {
      if (reads[c][b] == candidate) {
        ++weight;
      } else if (--weight == 0) {
        candidate = reads[c][b];
        weight = 1;
      }
    }
    out[b] = candidate;
  }
}

}  // namespace

void SecureReader::Allocate(std::uint32_t cacheFrames, int retries, std::uint32_t span) {
  cacheFrames_ = cacheFrames;
  // A window must be more than the cache holds, and a few commands long.
  windowFrames_ = std::max<std::uint32_t>(cacheFrames + 1, 10 * kMaxFramesPerCommand);
  const std::uint32_t windows = span / windowFrames_;
  if (windows > 1) windowFrames_ = (span + windows - 1) / windows;
  retries_ = static_cast<std::uint32_t>(std::clamp(retries, 2, 64));
  data_.assign(std::size_t{windowFrames_} * kFrameBytes, 0);
  flagged_.assign(windowFrames_, 0);
  status_.assign(windowFrames_, 0);
  hashes_.assign(windowFrames_, 0);
  nextHashes_.assign(windowFrames_, 0);
  info_.assign(windowFrames_, 0);
  nextInfo_.assign(windowFrames_, 0);
  pending_.assign(windowFrames_, 0);
  pool_.assign(std::size_t{kSlots} * retries_ * kFrameBytes, 0);
  copyFlagged_.assign(std::size_t{kSlots} * retries_, 0);
  firstPassReady_ = false;
}

void SecureReader::Seek(std::int32_t lba) {
  next_ = lba;
  firstPassReady_ = false;
}

int SecureReader::ReadRun(std::int32_t lba, std::uint32_t count, bool continues, std::uint8_t* audio,
                          std::uint8_t* flagged, std::uint8_t* status) {
  if (!verifyLanding_) return range_.Read(lba, count, audio, flagged, status);
  const std::uint32_t skip = continues ? 1 : 0;
  const std::uint32_t bytes = count * kFrameBytes;
  for (int attempt = 0; attempt < kLandingReads; ++attempt) {
    const int r =
        range_.Read(lba - static_cast<std::int32_t>(skip), count + skip, landing_, landingFlags_, landingStatus_);
    if (r != kReadGood) return r;
    const bool clean =
        std::all_of(landingStatus_, landingStatus_ + count + skip, [](std::uint8_t v) { return v == kFrameOk; });
    // Lined up with the frame before, or (first run) the same as the last read.
    const bool aligned = !clean || (continues ? std::memcmp(landing_, lastHead_, kCompareBytes) == 0
                                              : attempt > 0 && std::memcmp(landing_, audio, bytes) == 0);
    std::memcpy(audio, landing_ + skip * kFrameBytes, bytes);
    std::memcpy(flagged, landingFlags_ + skip, count);
    std::memcpy(status, landingStatus_ + skip, count);
    if (aligned) break;
  }
  std::memcpy(lastHead_, audio + (count - 1) * kFrameBytes, kCompareBytes);
  return kReadGood;
}

int SecureReader::FirstPass(std::int32_t start, std::uint32_t count, std::uint64_t* hashes, std::uint8_t* info) {
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t n = std::min(RunFrames(), count - done);
    const int r =
        ReadRun(start + static_cast<std::int32_t>(done), n, done > 0, scratch_, scratchFlags_, scratchStatus_);
    if (r != kReadGood) return r;
    for (std::uint32_t i = 0; i < n; ++i) {
      std::uint8_t& state = info[done + i];
      state = 0;
      if (scratchStatus_[i] == kFrameZeroed) {
        state = kP1Zeroed;
      } else if (scratchStatus_[i] == kFrameOk) {
        hashes[done + i] = FrameHash(scratch_ + i * kFrameBytes);
        state = static_cast<std::uint8_t>(kP1Read | (scratchFlags_[i] ? kP1Flagged : 0));
      }
    }
    done += n;
  }
  return kReadGood;
}

int SecureReader::SecondPass(std::int32_t start, std::uint32_t count, std::uint32_t* pending) {
  *pending = 0;
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t n = std::min(RunFrames(), count - done);
    const int r =
        ReadRun(start + static_cast<std::int32_t>(done), n, done > 0, data_.data() + std::size_t{done} * kFrameBytes,
                flagged_.data() + done, status_.data() + done);
    if (r != kReadGood) return r;
    done += n;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    if (status_[i] == kFrameZeroed) continue;  // outside the disc, refused: silence by definition
    const bool agree = status_[i] == kFrameOk && !flagged_[i] && info_[i] == kP1Read &&
                       FrameHash(data_.data() + std::size_t{i} * kFrameBytes) == hashes_[i];
    if (!agree) pending_[(*pending)++] = i;
  }
  return kReadGood;
}

int SecureReader::DefeatCache(std::int32_t excludeLo, std::int32_t excludeHi, std::uint32_t frames) {
  const std::int32_t lo = window_.ReadableLo(), hi = window_.ReadableHi();
  const std::int32_t leftEnd = std::clamp(excludeLo, lo, hi);
  const std::int32_t rightStart = std::clamp(excludeHi, lo, hi);
  const std::int32_t left = leftEnd - lo, right = hi - rightStart;
  if (frames == 0 || (left <= 0 && right <= 0)) return kReadGood;
  // From the far end of the larger side: the farther from what is to be
  // re-read, the less of it a drive's read-ahead can have kept.
  std::int32_t from, to;
  if (left >= right) {
    from = lo;
    to = leftEnd;
  } else {
    from = std::max(rightStart, hi - static_cast<std::int32_t>(frames));
    to = hi;
  }
  std::int32_t at = from;
  FrameSource& source = range_.Source();
  for (std::uint32_t done = 0; done < frames;) {
    if (at >= to) at = from;  // a side smaller than the cache: read it again
    const auto n = static_cast<std::uint32_t>(
        std::min<std::int64_t>({kMaxFramesPerCommand, to - at, static_cast<std::int64_t>(frames - done)}));
    const int r = source.Read(at, n, scratch_, nullptr);
    if (r == kReadDriveGone || r == kReadStopped) return r;
    at += static_cast<std::int32_t>(n);
    done += n;
  }
  return kReadGood;
}

int SecureReader::Resolve(std::int32_t start, const std::uint32_t* indices, std::uint32_t count) {
  const std::int32_t groupLo = start + static_cast<std::int32_t>(indices[0]);
  const std::int32_t groupHi = start + static_cast<std::int32_t>(indices[count - 1]) + 1;
  for (std::uint32_t s = 0; s < count; ++s) {
    Pending& p = slots_[s];
    const std::uint32_t i = indices[s];
    p = Pending{i, 2, 0, status_[i] == kFrameOk, false};
    if (status_[i] == kFrameOk) {
      std::memcpy(Copy(s, 0), data_.data() + std::size_t{i} * kFrameBytes, kFrameBytes);
      copyFlagged_[s * retries_] = flagged_[i];
      p.copies = 1;
    }
  }
  marks_.CountRereads(count);
  for (;;) {
    bool any = false, cached = false;
    for (std::uint32_t s = 0; s < count; ++s) {
      if (slots_[s].done || slots_[s].reads >= retries_) continue;
      any = true;
      cached = cached || slots_[s].lastRead;
    }
    if (!any) break;
    // Only a read that delivered data can be answered again from the cache.
    if (cached) {
      const int r = DefeatCache(groupLo, groupHi, cacheFrames_);
      if (r != kReadGood) return r;
    }
    for (std::uint32_t s = 0; s < count; ++s) {
      Pending& p = slots_[s];
      if (p.done || p.reads >= retries_) continue;
      const std::int32_t lba = start + static_cast<std::int32_t>(p.index);
      const int r = range_.Read(lba, 1, scratch_, scratchFlags_, scratchStatus_);
      if (r != kReadGood) return r;
      ++p.reads;
      std::uint8_t* frame = data_.data() + std::size_t{p.index} * kFrameBytes;
      if (scratchStatus_[0] == kFrameZeroed) {
        std::memset(frame, 0, kFrameBytes);
        p.done = true;
        continue;
      }
      p.lastRead = scratchStatus_[0] == kFrameOk;
      if (!p.lastRead) continue;
      const bool clean = !scratchFlags_[0];
      bool agree = clean && info_[p.index] == kP1Read && FrameHash(scratch_) == hashes_[p.index];
      for (std::uint32_t c = 0; c < p.copies && !agree; ++c) {
        agree = clean && !copyFlagged_[s * retries_ + c] && std::memcmp(Copy(s, c), scratch_, kFrameBytes) == 0;
      }
      if (agree) {
        std::memcpy(frame, scratch_, kFrameBytes);
        p.done = true;
      } else if (p.copies < retries_) {
        std::memcpy(Copy(s, p.copies), scratch_, kFrameBytes);
        copyFlagged_[s * retries_ + p.copies] = scratchFlags_[0];
        ++p.copies;
      }
    }
  }
  for (std::uint32_t s = 0; s < count; ++s) {
    Pending& p = slots_[s];
    if (p.done) continue;
    const std::int32_t lba = start + static_cast<std::int32_t>(p.index);
    std::uint8_t* frame = data_.data() + std::size_t{p.index} * kFrameBytes;
    if (p.copies == 0) {
      std::memset(frame, 0, kFrameBytes);
      marks_.MarkUnreadable(lba);
      continue;
    }
    // The reads without C2 flags vote when there are any.
    const std::uint8_t* reads[64];
    std::uint32_t n = 0;
    for (std::uint32_t c = 0; c < p.copies; ++c) {
      if (!copyFlagged_[s * retries_ + c]) reads[n++] = Copy(s, c);
    }
    if (n == 0) {
      for (std::uint32_t c = 0; c < p.copies; ++c) reads[n++] = Copy(s, c);
    }
    MajorityPerByte(reads, n, frame);
    marks_.MarkSuspicious(lba);
  }
  return kReadGood;
}

int SecureReader::Next(Chunk* out) {
  const std::int32_t end = window_.EndLba();
  *out = Chunk{data_.data(), next_, 0};
  if (next_ >= end) return kReadGood;
  const std::int32_t start = next_;
  const auto count = static_cast<std::uint32_t>(std::min<std::int64_t>(windowFrames_, end - start));
  int r;
  if (!firstPassReady_) {
    r = FirstPass(start, count, hashes_.data(), info_.data());
    if (r != kReadGood) return r;
  }
  // The first pass over the next window pushes this one out of the cache;
  // at the end of the track, or when it is short, reads elsewhere do.
  const std::int32_t nextStart = start + static_cast<std::int32_t>(count);
  const auto nextCount = static_cast<std::uint32_t>(std::clamp<std::int64_t>(end - nextStart, 0, windowFrames_));
  if (nextCount > 0) {
    r = FirstPass(nextStart, nextCount, nextHashes_.data(), nextInfo_.data());
    if (r != kReadGood) return r;
  }
  if (nextCount < cacheFrames_) {
    r = DefeatCache(start, nextStart, cacheFrames_ - nextCount);
    if (r != kReadGood) return r;
  }
  std::uint32_t pending = 0;
  r = SecondPass(start, count, &pending);
  if (r != kReadGood) return r;
  for (std::uint32_t done = 0; done < pending;) {
    const std::uint32_t n = std::min(kSlots, pending - done);
    r = Resolve(start, pending_.data() + done, n);
    if (r != kReadGood) return r;
    done += n;
  }
  hashes_.swap(nextHashes_);
  info_.swap(nextInfo_);
  firstPassReady_ = nextCount > 0;
  next_ = nextStart;
  *out = Chunk{data_.data(), start, count};
  return kReadGood;
}

}  // namespace rip
