#include "device/disc_toc.h"

#include <vector>

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kDescriptor = 8;
constexpr std::size_t kFullDescriptor = 11;

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void SetFlags(TrackEntry& entry, std::uint8_t adrControl) {
  std::uint8_t control = adrControl & 0x0F;
  entry.preEmphasis = control & 1;
  entry.copyProhibited = (control & 2) ? 0 : 1;
  entry.dataTrack = control & 4;
  entry.fourChannel = control & 8;
}

void SetTime(TrackEntry& entry, const std::uint8_t* msfDescriptor) {
  entry.minute = msfDescriptor[5];
  entry.second = msfDescriptor[6];
  entry.frame = msfDescriptor[7];
}

}  // namespace

std::int32_t MsfOffsetFor(const DiscToc& toc) {
  switch (toc.discType) {
    case kDiscDataOnly:
    case kDiscDataThenAudio:
      return 150;
    case kDiscAudioOnly:
    case kDiscAudioThenData:
      return toc.msfOffset;
    default:
      return 0;
  }
}

std::int64_t MsfToLba(const DiscToc& toc, int minute, int second, int frame) {
  return std::int64_t(minute) * 4500 + std::int64_t(second) * 75 + frame - MsfOffsetFor(toc);
}

int DecodeToc(const std::uint8_t* msf, std::size_t msfLength, const std::uint8_t* lba, std::size_t lbaLength,
              DiscToc& toc) {
  toc.Clear();
  if (!msf || !lba || lbaLength < kHeader) return -1;
  const int last = lba[3];
  if (last < 1 || last > 99) return -1;
  const std::size_t needed = kHeader + std::size_t(last + 1) * kDescriptor;
  if (lbaLength < needed || msfLength < needed) return -1;

  // Descriptor i is track i + 1, descriptor `last` the lead-out; refuse
  // anything that would give a track a start after its end.
  std::vector<std::uint32_t> address(last + 1);
  int previousNumber = 0;
  for (int i = 0; i <= last; ++i) {
    const std::uint8_t* d = lba + kHeader + i * kDescriptor;
    address[i] = BigEndian32(d + 4);
    if (i > 0 && address[i] <= address[i - 1]) return -1;
    if (i < last) {
      int number = d[2];
      if (number < 1 || number > 99 || number <= previousNumber) return -1;
      previousNumber = number;
    }
  }

  const std::uint8_t* lbaDesc = lba + kHeader;
  const std::uint8_t* msfDesc = msf + kHeader;
  const std::uint32_t leadOut = address[last];

  TrackEntry disc;
  disc.start = address[0];
  disc.end = leadOut - 1;
  disc.length = leadOut - disc.start;
  SetTime(disc, msfDesc);
  SetFlags(disc, lbaDesc[1]);
  toc.tracks[kDiscKey] = disc;

  for (int i = 0; i < last; ++i) {
    const std::uint8_t* d = lbaDesc + i * kDescriptor;
    TrackEntry track;
    track.start = address[i];
    track.end = address[i + 1] - 1;
    track.length = address[i + 1] - address[i];
    SetTime(track, msfDesc + i * kDescriptor);
    SetFlags(track, d[1]);
    toc.tracks[d[2]] = track;
  }

  TrackEntry leadOutEntry;
  leadOutEntry.start = leadOut;
  SetTime(leadOutEntry, msfDesc + last * kDescriptor);
  SetFlags(leadOutEntry, lbaDesc[last * kDescriptor + 1]);
  toc.tracks[kLeadOutKey] = leadOutEntry;

  const std::uint8_t* msf0 = msfDesc;
  toc.msfOffset = static_cast<std::int32_t>((std::int64_t(msf0[5]) * 60 + msf0[6]) * 75 + msf0[7] -
                                            std::int64_t(address[0]));
  toc.lastTrack = last;

  const bool firstIsData = (lbaDesc[1] & 4) != 0;
  toc.discType = firstIsData ? kDiscDataOnly : kDiscAudioOnly;
  for (int i = 1; i < last; ++i) {
    const bool isData = (lbaDesc[i * kDescriptor + 1] & 4) != 0;
    if (isData != firstIsData) {
      toc.discType = firstIsData ? kDiscDataThenAudio : kDiscAudioThenData;
      break;
    }
  }
  return last;
}

bool DecodeSessionInfo(const std::uint8_t* data, std::size_t length, SessionInfo& info) {
  if (!data || length < kHeader) return false;
  // Session information is the header and exactly one descriptor; a drive
  // that took the request for another format (the TOC) answers longer.
  if (((data[0] << 8) | data[1]) != 10) return false;
  if (data[2] < 1 || data[3] < data[2] || data[3] > 99) return false;
  info.firstSession = data[2];
  info.lastSession = data[3];
  return true;
}

void ApplyFullToc(const std::uint8_t* data, std::size_t length, int firstSession, int lastSession, DiscToc& toc) {
  if (!data || length < kHeader) return;
  // Descriptors end at the first one of session 0 or at the end of the reply.
  std::size_t count = 0;
  while (kHeader + (count + 1) * kFullDescriptor <= length && data[kHeader + count * kFullDescriptor] != 0) ++count;

  auto find = [&](int session, std::uint8_t point) -> const std::uint8_t* {
    for (std::size_t k = 0; k < count; ++k) {
      const std::uint8_t* d = data + kHeader + k * kFullDescriptor;
      if (d[0] == session && d[3] == point) return d;
    }
    return nullptr;
  };

  for (int session = firstSession; session < lastSession; ++session) {
    const std::uint8_t* a1 = find(session, 0xA1);
    if (!a1) continue;
    const int lastTrackOfSession = a1[8];
    if (lastTrackOfSession == 0) continue;
    auto track = toc.tracks.find(lastTrackOfSession);
    if (track == toc.tracks.end() || lastTrackOfSession == kDiscKey || lastTrackOfSession == kLeadOutKey) continue;
    const std::uint8_t* a2 = find(session, 0xA2);
    if (!a2) continue;
    const std::int64_t leadOut = MsfToLba(toc, a2[8], a2[9], a2[10]);
    if (leadOut == 0) continue;
    TrackEntry& entry = track->second;
    // Only ever shorten a track, never give it a start after its end.
    if (leadOut <= std::int64_t(entry.start) || leadOut > std::int64_t(entry.end) + 1) continue;
    entry.end = static_cast<std::uint32_t>(leadOut - 1);
    entry.length = static_cast<std::uint32_t>(leadOut - entry.start);
  }
}
