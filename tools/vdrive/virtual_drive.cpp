#include "tools/vdrive/virtual_drive.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "util/mt19937.h"

namespace vdrive {

namespace {

constexpr std::size_t kReadLogLimit = 10000;
constexpr std::int32_t kOverreadFrames = 150;
constexpr std::uint32_t kMaxCacheKiB = 65535;  // what page 2Ah can report

// splitmix64: the wrong bytes of a flaky read, a stream per sector and read.
std::uint64_t NextMix(std::uint64_t* state) {
  std::uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Scrambles the audio and sets the C2 bit (MSB first) of every byte that
// came out different.
void SpoilFrame(std::int32_t lba, std::uint32_t readNumber, std::uint8_t* audio, std::uint8_t* c2) {
  std::uint64_t state = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(lba)) << 32) ^ readNumber ^
                        0x5EC7012Full;
  for (int i = 0; i < kFrameBytes; i += 8) {
    const std::uint64_t x = NextMix(&state);
    for (int k = 0; k < 8; ++k) {
      const std::uint8_t b = static_cast<std::uint8_t>(x >> (8 * k));
      if (b == 0) continue;
      audio[i + k] = static_cast<std::uint8_t>(audio[i + k] ^ b);
      c2[(i + k) / 8] = static_cast<std::uint8_t>(c2[(i + k) / 8] | (0x80 >> ((i + k) % 8)));
    }
  }
}

void PutBe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

void PutBe32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Absolute time of an LBA, binary minute/second/frame.
void PutMsf(std::uint8_t* p, std::int32_t lba) {
  const std::int32_t x = lba + kMsfOffset;
  p[0] = static_cast<std::uint8_t>(x / 4500);
  p[1] = static_cast<std::uint8_t>(x / 75 % 60);
  p[2] = static_cast<std::uint8_t>(x % 75);
}

void PutAddress(std::uint8_t* p, std::int32_t lba, bool msf) {
  if (msf) {
    p[0] = 0;
    PutMsf(p + 1, lba);
  } else {
    PutBe32(p, static_cast<std::uint32_t>(lba));
  }
}

void PutText(std::uint8_t* p, const std::string& s, std::size_t width) {
  std::memset(p, ' ', width);
  std::memcpy(p, s.data(), std::min(width, s.size()));
}

CommandResult Check(SenseCode sense) {
  CommandResult r;
  r.status = CommandResult::kCheckCondition;
  r.sense = sense;
  return r;
}

// Hands over min(answer, allocation) bytes; more than the buffer holds is an
// overrun, as the host adapter reports it.
CommandResult Transfer(const std::vector<std::uint8_t>& answer, std::uint32_t allocation, std::uint8_t* data,
                       std::uint32_t dataLength) {
  CommandResult r;
  std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(answer.size()), allocation);
  if (n > dataLength) {
    r.overrun = true;
    n = dataLength;
  }
  if (n > 0) std::memcpy(data, answer.data(), n);
  r.transferred = n;
  return r;
}

std::uint8_t AdrControl(std::uint8_t adr, std::uint8_t control) {
  return static_cast<std::uint8_t>((adr << 4) | (control & 0x0F));
}

}  // namespace

void CommandResult::FillSense(std::uint8_t* out, std::size_t length) const {
  std::uint8_t s[18] = {};
  if (status == kCheckCondition) {
    s[0] = 0x70;
    s[2] = sense.key;
    s[7] = 10;
    s[12] = sense.asc;
    s[13] = sense.ascq;
  }
  std::memcpy(out, s, std::min<std::size_t>(length, sizeof s));
}

std::vector<std::uint8_t> BuildTocAnswer(const Disc& disc, bool msf, std::uint8_t startTrack, bool* invalid) {
  const auto& tracks = disc.tracks();
  *invalid = false;
  std::vector<std::uint8_t> out(4);
  out[2] = static_cast<std::uint8_t>(tracks.front().number);
  out[3] = static_cast<std::uint8_t>(tracks.back().number);
  if (startTrack != 0xAA && startTrack > tracks.back().number) {
    *invalid = true;
    return {};
  }
  for (const DiscTrack& t : tracks) {
    if (startTrack == 0xAA || t.number < startTrack) continue;
    std::uint8_t d[8] = {};
    d[1] = AdrControl(1, t.control);
    d[2] = static_cast<std::uint8_t>(t.number);
    PutAddress(d + 4, t.start, msf);
    out.insert(out.end(), d, d + 8);
  }
  std::uint8_t lo[8] = {};
  lo[1] = AdrControl(1, tracks.back().control);
  lo[2] = 0xAA;
  PutAddress(lo + 4, disc.leadOut(), msf);
  out.insert(out.end(), lo, lo + 8);
  PutBe16(out.data(), static_cast<std::uint32_t>(out.size() - 2));
  return out;
}

std::vector<std::uint8_t> BuildSessionAnswer(const Disc& disc, bool msf) {
  std::vector<std::uint8_t> out(12);
  PutBe16(out.data(), 10);
  out[2] = static_cast<std::uint8_t>(disc.sessions().front().number);
  out[3] = static_cast<std::uint8_t>(disc.sessions().back().number);
  const DiscTrack& first = disc.tracks()[static_cast<std::size_t>(disc.sessions().back().firstTrack)];
  out[5] = AdrControl(1, first.control);
  out[6] = static_cast<std::uint8_t>(first.number);
  PutAddress(&out[8], first.start, msf);
  return out;
}

std::vector<std::uint8_t> BuildFullTocAnswer(const Disc& disc, std::uint8_t startSession) {
  const auto& sessions = disc.sessions();
  const auto& tracks = disc.tracks();
  std::vector<std::uint8_t> out(4);
  out[2] = static_cast<std::uint8_t>(sessions.front().number);
  out[3] = static_cast<std::uint8_t>(sessions.back().number);
  auto add = [&out](std::uint8_t session, std::uint8_t adrControl, std::uint8_t point, std::int32_t atime,
                    std::uint8_t pmin, std::uint8_t psec, std::uint8_t pframe, std::uint8_t zero) {
    std::uint8_t d[11] = {session, adrControl, 0, point, 0, 0, 0, zero, pmin, psec, pframe};
    if (atime >= 0) PutMsf(d + 4, atime - kMsfOffset);
    out.insert(out.end(), d, d + 11);
  };
  for (std::size_t si = 0; si < sessions.size(); ++si) {
    const DiscSession& s = sessions[si];
    if (s.number < startSession) continue;
    const std::uint8_t sn = static_cast<std::uint8_t>(s.number);
    const DiscTrack& first = tracks[static_cast<std::size_t>(s.firstTrack)];
    const DiscTrack& last = tracks[static_cast<std::size_t>(s.lastTrack)];
    bool xa = false;
    for (int k = s.firstTrack; k <= s.lastTrack; ++k) xa = xa || tracks[static_cast<std::size_t>(k)].data;
    // A second session holding data is a CD-ROM XA session on CD-Extra discs.
    const std::uint8_t discType = (xa && si > 0) ? 0x20 : 0x00;
    add(sn, AdrControl(1, first.control), 0xA0, -1, static_cast<std::uint8_t>(first.number), discType, 0, 0);
    add(sn, AdrControl(1, last.control), 0xA1, -1, static_cast<std::uint8_t>(last.number), 0, 0, 0);
    std::uint8_t lo[3];
    PutMsf(lo, s.leadOut);
    add(sn, AdrControl(1, last.control), 0xA2, -1, lo[0], lo[1], lo[2], 0);
    for (int k = s.firstTrack; k <= s.lastTrack; ++k) {
      const DiscTrack& t = tracks[static_cast<std::size_t>(k)];
      std::uint8_t p[3];
      PutMsf(p, t.start);
      add(sn, AdrControl(1, t.control), static_cast<std::uint8_t>(t.number), -1, p[0], p[1], p[2], 0);
    }
    if (si + 1 < sessions.size()) {
      // Where the next session's program area may start; outermost lead-out 79:59:74.
      const DiscTrack& next = tracks[static_cast<std::size_t>(sessions[si + 1].firstTrack)];
      std::uint8_t d[11] = {sn, AdrControl(5, 0), 0, 0xB0, 0, 0, 0, 1, 79, 59, 74};
      PutMsf(d + 4, next.regionStart);
      out.insert(out.end(), d, d + 11);
    }
  }
  PutBe16(out.data(), static_cast<std::uint32_t>(out.size() - 2));
  return out;
}

std::vector<std::uint8_t> BuildCdTextAnswer(const Disc& disc) {
  const std::vector<std::uint8_t>& packs = disc.cdTextPacks();
  std::vector<std::uint8_t> out(4 + packs.size());
  if (!packs.empty()) std::memcpy(&out[4], packs.data(), packs.size());
  PutBe16(out.data(), static_cast<std::uint32_t>(out.size() - 2));
  return out;
}

ScatterList ChooseScatteredSectors(std::uint32_t seed, std::uint32_t wrong, std::uint32_t unreadable,
                                   std::int32_t from, std::int32_t to) {
  ScatterList out;
  const std::int64_t span = static_cast<std::int64_t>(to) - from;
  const std::uint64_t wanted = static_cast<std::uint64_t>(wrong) + unreadable;
  if (span <= 0 || wanted > static_cast<std::uint64_t>(span)) return out;
  Mt19937 mt(seed);
  std::vector<std::int32_t> chosen;
  while (chosen.size() < wanted) {
    const std::int32_t lba = static_cast<std::int32_t>(from + static_cast<std::int64_t>(mt.Next() % span));
    if (std::find(chosen.begin(), chosen.end(), lba) == chosen.end()) chosen.push_back(lba);
  }
  out.wrong.assign(chosen.begin(), chosen.begin() + wrong);
  out.unreadable.assign(chosen.begin() + wrong, chosen.end());
  std::sort(out.wrong.begin(), out.wrong.end());
  std::sort(out.unreadable.begin(), out.unreadable.end());
  return out;
}

VirtualDrive::VirtualDrive(DriveIdentity identity) : identity_(std::move(identity)) {}

int VirtualDrive::InsertCue(const std::string& cuePath, std::string* error) {
  auto disc = std::make_shared<Disc>();
  if (disc->LoadCue(cuePath, error) != 0) {
    Eject();
    return -1;
  }
  Insert(disc);
  return 0;
}

void VirtualDrive::Insert(std::shared_ptr<const Disc> disc) {
  std::lock_guard<std::mutex> g(lock_);
  disc_ = std::move(disc);
  unitAttentionPending_ = unitAttentionOnInsert_ && disc_ != nullptr;
  nextReadLba_ = -1;
  CacheReset();
}

void VirtualDrive::Eject() {
  std::lock_guard<std::mutex> g(lock_);
  disc_.reset();
  unitAttentionPending_ = false;
  CacheReset();
}

bool VirtualDrive::HasDisc() const {
  std::lock_guard<std::mutex> g(lock_);
  return disc_ != nullptr;
}

std::shared_ptr<const Disc> VirtualDrive::disc() const {
  std::lock_guard<std::mutex> g(lock_);
  return disc_;
}

void VirtualDrive::SetIdentity(const DriveIdentity& identity) {
  std::lock_guard<std::mutex> g(lock_);
  identity_ = identity;
}

void VirtualDrive::SetUnitAttentionOnInsert(bool on) {
  std::lock_guard<std::mutex> g(lock_);
  unitAttentionOnInsert_ = on;
}

void VirtualDrive::FailCommand(int opcode, std::uint32_t times, std::uint32_t skip, SenseCode sense) {
  std::lock_guard<std::mutex> g(lock_);
  faults_.push_back({opcode, skip, times, 0, 0, false, sense});
}

void VirtualDrive::HangCommand(int opcode, std::uint32_t times, std::uint32_t skip) {
  std::lock_guard<std::mutex> g(lock_);
  faults_.push_back({opcode, skip, times, 0, 0, true, SenseCode{}});
}

void VirtualDrive::AddReadError(std::int32_t lba, std::uint32_t times) {
  std::lock_guard<std::mutex> g(lock_);
  readErrors_.push_back({lba, times, 0});
}

void VirtualDrive::SetLanding(int offsetFrames, std::uint32_t everyNth) {
  std::lock_guard<std::mutex> g(lock_);
  landingOffset_ = offsetFrames;
  landingEvery_ = everyNth == 0 ? 1 : everyNth;
  readCdCount_ = 0;
}

void VirtualDrive::SetLatency(const LatencyModel& model) {
  std::lock_guard<std::mutex> g(lock_);
  latency_ = model;
}

void VirtualDrive::ShortenReply(int opcode, std::uint32_t bytes, int format, std::uint32_t times,
                                std::uint32_t skip) {
  std::lock_guard<std::mutex> g(lock_);
  replyRules_.push_back({opcode, format, false, bytes, skip, times, 0, 0});
}

void VirtualDrive::GarbleReply(int opcode, std::uint32_t from, int format, std::uint32_t times, std::uint32_t skip) {
  std::lock_guard<std::mutex> g(lock_);
  replyRules_.push_back({opcode, format, true, from, skip, times, 0, 0});
}

void VirtualDrive::SetTocForms(TocForms forms) {
  std::lock_guard<std::mutex> g(lock_);
  tocForms_ = forms;
}

void VirtualDrive::SetReadOffset(int samples) {
  std::lock_guard<std::mutex> g(lock_);
  readOffset_ = samples;
}

void VirtualDrive::SetOverread(bool leadIn, bool leadOut) {
  std::lock_guard<std::mutex> g(lock_);
  overreadLeadIn_ = leadIn;
  overreadLeadOut_ = leadOut;
}

void VirtualDrive::SetCache(std::uint32_t kib) {
  std::lock_guard<std::mutex> g(lock_);
  cacheKiB_ = std::min(kib, kMaxCacheKiB);
  const std::size_t frames = static_cast<std::size_t>(cacheKiB_) * 1024 / kFrameBytes;
  cacheFrames_.assign(frames * kCachedFrameBytes, 0);
  cacheLbas_.assign(frames, kNoFrame);
  cacheIndex_.reserve(frames);
  CacheReset();
}

void VirtualDrive::AddFlakySector(std::int32_t lba, std::uint32_t times) {
  std::lock_guard<std::mutex> g(lock_);
  flaky_[lba] = FlakyRule{times, 0};
}

int VirtualDrive::ScatterSectors(std::uint32_t seed, std::uint32_t wrong, std::uint32_t unreadable,
                                 std::int32_t from, std::int32_t to) {
  std::lock_guard<std::mutex> g(lock_);
  if (to < 0) {
    if (!disc_) return -1;
    to = disc_->sessions().front().leadOut;
  }
  const ScatterList chosen = ChooseScatteredSectors(seed, wrong, unreadable, from, to);
  if (chosen.wrong.size() + chosen.unreadable.size() != static_cast<std::size_t>(wrong) + unreadable) return -1;
  for (std::int32_t lba : chosen.wrong) flaky_[lba] = FlakyRule{0, 0};
  for (std::int32_t lba : chosen.unreadable) readErrors_.push_back({lba, 0, 0});
  scattered_.wrong.insert(scattered_.wrong.end(), chosen.wrong.begin(), chosen.wrong.end());
  scattered_.unreadable.insert(scattered_.unreadable.end(), chosen.unreadable.begin(), chosen.unreadable.end());
  std::sort(scattered_.wrong.begin(), scattered_.wrong.end());
  std::sort(scattered_.unreadable.begin(), scattered_.unreadable.end());
  return 0;
}

ScatterList VirtualDrive::ScatteredSectors() const {
  std::lock_guard<std::mutex> g(lock_);
  return scattered_;
}

void VirtualDrive::SetC2(bool on) {
  std::lock_guard<std::mutex> g(lock_);
  c2_ = on;
}

void VirtualDrive::ClearBehaviours() {
  std::lock_guard<std::mutex> g(lock_);
  readOffset_ = 0;
  overreadLeadIn_ = overreadLeadOut_ = false;
  c2_ = false;
  flaky_.clear();
  scattered_ = ScatterList();
  cacheKiB_ = 0;
  cacheFrames_.clear();
  cacheLbas_.clear();
  CacheReset();
  tocForms_ = TocForms::kBoth;
  faults_.clear();
  replyRules_.clear();
  readErrors_.clear();
  landingOffset_ = 0;
  landingEvery_ = 1;
  latency_ = LatencyModel();
  unitAttentionOnInsert_ = false;
  unitAttentionPending_ = false;
}

std::uint32_t VirtualDrive::CommandCount(int opcode) const {
  std::lock_guard<std::mutex> g(lock_);
  if (opcode < 0) return total_;
  return opcode < 256 ? counts_[static_cast<std::size_t>(opcode)] : 0;
}

std::vector<ReadRecord> VirtualDrive::ReadLog() const {
  std::lock_guard<std::mutex> g(lock_);
  return readLog_;
}

std::uint32_t VirtualDrive::DiscFramesRead() const {
  std::lock_guard<std::mutex> g(lock_);
  return discFramesRead_;
}

void VirtualDrive::ResetCounters() {
  std::lock_guard<std::mutex> g(lock_);
  counts_.fill(0);
  total_ = 0;
  readLog_.clear();
  discFramesRead_ = 0;
}

std::uint16_t VirtualDrive::RequestedReadSpeed() const {
  std::lock_guard<std::mutex> g(lock_);
  return readSpeed_;
}

CommandResult VirtualDrive::Execute(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data,
                                    std::uint32_t dataLength) {
  int sleepMs = 0;
  CommandResult r;
  {
    std::lock_guard<std::mutex> g(lock_);
    ReplyRule* mangle = nullptr;
    if (cdb != nullptr && cdbLength >= 6) {
      // READ TOC's format, as ReadToc reads it.
      int format = -1;
      if (cdb[0] == 0x43 && cdbLength >= 10) format = (cdb[2] & 0x0F) != 0 ? cdb[2] & 0x0F : cdb[9] >> 6;
      for (ReplyRule& rule : replyRules_) {
        if (rule.opcode >= 0 && rule.opcode != cdb[0]) continue;
        if (rule.format >= 0 && (cdb[0] != 0x43 || rule.format != format)) continue;
        if (rule.seen++ < rule.skip) continue;
        if (rule.times != 0 && rule.fired >= rule.times) continue;
        ++rule.fired;
        mangle = &rule;
        break;
      }
    }
    std::vector<std::uint8_t> before;
    if (mangle != nullptr && !mangle->garble && data != nullptr) before.assign(data, data + dataLength);
    r = Dispatch(cdb, cdbLength, data, dataLength, &sleepMs);
    if (mangle != nullptr && r.ok() && r.transferred > mangle->offset) {
      if (mangle->garble) {
        // A fixed linear congruential stream: the same reply is garbled the
        // same way every time.
        std::uint32_t state = 0x2545F491u;
        for (std::uint32_t i = mangle->offset; i < r.transferred; ++i) {
          state = state * 1664525u + 1013904223u;
          data[i] = static_cast<std::uint8_t>(data[i] ^ (state >> 24) ^ 0x5A);
        }
      } else {
        std::memcpy(data + mangle->offset, before.data() + mangle->offset, r.transferred - mangle->offset);
        r.transferred = mangle->offset;
        r.shortened = true;
      }
    }
  }
  // The drive's time passes without holding the lock, so eject and counters
  // stay usable from other threads meanwhile.
  if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
  return r;
}

CommandResult VirtualDrive::Dispatch(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data,
                                     std::uint32_t dataLength, int* sleepMs) {
  if (cdb == nullptr || cdbLength < 6 || (data == nullptr && dataLength > 0)) return Check(kSenseInvalidField);
  const std::uint8_t opcode = cdb[0];
  ++counts_[opcode];
  ++total_;
  for (FaultRule& f : faults_) {
    if (f.opcode >= 0 && f.opcode != opcode) continue;
    if (f.seen++ < f.skip) continue;
    if (f.times != 0 && f.fired >= f.times) continue;
    ++f.fired;
    if (f.hang) {
      CommandResult r;
      r.hang = true;
      return r;
    }
    return Check(f.sense);
  }
  if (opcode == 0x12) return Inquiry(cdb, data, dataLength);
  if (unitAttentionPending_) {
    unitAttentionPending_ = false;
    return Check(kSenseMediumChanged);
  }
  switch (opcode) {
    case 0x00:
      return disc_ ? CommandResult() : Check(kSenseNoDisc);
    case 0x43:
      if (cdbLength < 10) return Check(kSenseInvalidField);
      return ReadToc(cdb, data, dataLength);
    case 0xBB:
      if (cdbLength < 12) return Check(kSenseInvalidField);
      readSpeed_ = static_cast<std::uint16_t>((cdb[2] << 8) | cdb[3]);
      return CommandResult();
    case 0xBE:
      if (cdbLength < 12) return Check(kSenseInvalidField);
      return ReadCd(cdb, data, dataLength, sleepMs);
    case 0x5A:
      if (cdbLength < 10) return Check(kSenseInvalidField);
      return ModeSense10(cdb, data, dataLength);
    default:
      return Check(kSenseInvalidOpcode);
  }
}

CommandResult VirtualDrive::Inquiry(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength) {
  if (cdb[1] & 0x01) return Check(kSenseInvalidField);  // no vital product data pages
  std::vector<std::uint8_t> a(36, 0);
  a[0] = 0x05;  // CD-ROM device
  a[1] = 0x80;  // removable medium
  a[2] = 0x00;
  a[3] = 0x02;  // response data format 2
  a[4] = 31;    // additional length
  PutText(&a[8], identity_.vendor, 8);
  PutText(&a[16], identity_.product, 16);
  PutText(&a[32], identity_.revision, 4);
  return Transfer(a, cdb[4], data, dataLength);
}

CommandResult VirtualDrive::ReadToc(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength) {
  if (!disc_) return Check(kSenseNoDisc);
  const bool msf = (cdb[1] & 0x02) != 0;
  int format = cdb[2] & 0x0F;
  // To an MMC-only drive the control byte's top bits are an invalid field;
  // a drive from before MMC knows no format field in byte 2.
  if (tocForms_ == TocForms::kMmcOnly && (cdb[9] & 0xC0) != 0) return Check(kSenseInvalidField);
  if (tocForms_ == TocForms::kOldOnly && format != 0) return Check(kSenseInvalidField);
  // Older host software selects the format with the control byte's top bits.
  if (format == 0) format = cdb[9] >> 6;
  const std::uint32_t allocation = (static_cast<std::uint32_t>(cdb[7]) << 8) | cdb[8];
  std::vector<std::uint8_t> answer;
  switch (format) {
    case 0: {
      bool invalid = false;
      answer = BuildTocAnswer(*disc_, msf, cdb[6], &invalid);
      if (invalid) return Check(kSenseInvalidField);
      break;
    }
    case 1:
      answer = BuildSessionAnswer(*disc_, msf);
      break;
    case 2:
      answer = BuildFullTocAnswer(*disc_, cdb[6]);
      break;
    case 5:
      answer = BuildCdTextAnswer(*disc_);
      break;
    default:
      return Check(kSenseInvalidField);
  }
  return Transfer(answer, allocation, data, dataLength);
}

VirtualDrive::FrameKind VirtualDrive::KindOf(std::int32_t lba) const {
  const int k = disc_->TrackAt(lba);
  if (k >= 0) return disc_->tracks()[static_cast<std::size_t>(k)].data ? FrameKind::kData : FrameKind::kAudio;
  if (overreadLeadIn_ && lba < 0 && lba >= -kOverreadFrames) return FrameKind::kSilence;
  if (overreadLeadOut_) {
    for (const DiscSession& s : disc_->sessions())
      if (lba >= s.leadOut && lba - s.leadOut < kOverreadFrames) return FrameKind::kSilence;
  }
  return FrameKind::kNone;
}

const std::uint8_t* VirtualDrive::RawSector(std::int32_t lba) {
  if (!rawValid_ || rawLba_ != lba) {
    rawValid_ = false;
    if (disc_->ReadRawSector(lba, raw_.data()) != 0) return nullptr;
    rawLba_ = lba;
    rawValid_ = true;
  }
  return raw_.data();
}

int VirtualDrive::ReadShiftedAudio(std::int32_t lba, std::uint8_t* out) {
  // The drive starts readOffset_ samples early: the frame spans the tail of
  // one sector and the head of the next; outside the program area is silence.
  const std::int64_t start = static_cast<std::int64_t>(lba) * kFrameBytes - 4 * static_cast<std::int64_t>(readOffset_);
  std::int64_t sector = start / kFrameBytes;
  if (start % kFrameBytes < 0) --sector;
  std::uint32_t skip = static_cast<std::uint32_t>(start - sector * kFrameBytes);
  std::uint32_t written = 0;
  for (; written < static_cast<std::uint32_t>(kFrameBytes); ++sector, skip = 0) {
    const std::uint32_t n = std::min(kFrameBytes - skip, kFrameBytes - written);
    const bool onDisc = sector >= INT32_MIN && sector <= INT32_MAX && disc_->TrackAt(static_cast<std::int32_t>(sector)) >= 0;
    if (onDisc) {
      const std::uint8_t* raw = RawSector(static_cast<std::int32_t>(sector));
      if (raw == nullptr) return -1;
      std::memcpy(out + written, raw + skip, n);
    } else {
      std::memset(out + written, 0, n);
    }
    written += n;
  }
  return 0;
}

int VirtualDrive::ReadFrameFromDisc(std::int32_t lba, FrameKind kind, std::uint8_t* out) {
  std::memset(out + kFrameBytes, 0, kC2Bytes);
  if (kind == FrameKind::kData) {
    // Data sectors carry their own addressing: no read offset.
    const std::uint8_t* raw = RawSector(lba);
    if (raw == nullptr) return -1;
    std::memcpy(out, raw, kFrameBytes);
  } else if (ReadShiftedAudio(lba, out) != 0) {
    return -1;
  }
  const auto f = flaky_.find(lba);
  if (f != flaky_.end()) {
    const std::uint32_t n = f->second.reads++;
    if (f->second.times == 0 || n < f->second.times) SpoilFrame(lba, n, out, out + kFrameBytes);
  }
  ++discFramesRead_;
  return 0;
}

const std::uint8_t* VirtualDrive::CacheFind(std::int32_t lba) const {
  if (cacheIndex_.empty()) return nullptr;
  const auto it = cacheIndex_.find(lba);
  return it == cacheIndex_.end() ? nullptr : &cacheFrames_[it->second * kCachedFrameBytes];
}

void VirtualDrive::CacheStore(std::int32_t lba, const std::uint8_t* frame) {
  if (cacheLbas_.empty()) return;
  std::size_t slot = 0;
  const auto it = cacheIndex_.find(lba);
  if (it != cacheIndex_.end()) {
    slot = it->second;
  } else {
    // The oldest frame read makes room.
    slot = cacheNext_;
    cacheNext_ = (cacheNext_ + 1) % cacheLbas_.size();
    if (cacheLbas_[slot] != kNoFrame) cacheIndex_.erase(cacheLbas_[slot]);
    cacheLbas_[slot] = lba;
    cacheIndex_[lba] = slot;
  }
  std::memcpy(&cacheFrames_[slot * kCachedFrameBytes], frame, kCachedFrameBytes);
}

void VirtualDrive::CacheReset() {
  std::fill(cacheLbas_.begin(), cacheLbas_.end(), kNoFrame);
  cacheIndex_.clear();
  cacheNext_ = 0;
  rawValid_ = false;
}

CommandResult VirtualDrive::ReadCd(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength,
                                   int* sleepMs) {
  if (!disc_) return Check(kSenseNoDisc);
  const int expected = (cdb[1] >> 2) & 0x07;
  const std::int32_t lba = static_cast<std::int32_t>((static_cast<std::uint32_t>(cdb[2]) << 24) |
                                                     (static_cast<std::uint32_t>(cdb[3]) << 16) |
                                                     (static_cast<std::uint32_t>(cdb[4]) << 8) | cdb[5]);
  const std::uint32_t count = (static_cast<std::uint32_t>(cdb[6]) << 16) | (static_cast<std::uint32_t>(cdb[7]) << 8) | cdb[8];
  const std::uint8_t fields = cdb[9] & 0xF8;
  const int errorField = (cdb[9] >> 1) & 0x03;  // 01b C2 pointers, 10b C2 and block error byte
  if (expected > 2 || (cdb[10] & 0x07) != 0) return Check(kSenseInvalidField);
  if (fields != 0 && fields != 0x10 && fields != 0xF8) return Check(kSenseInvalidField);
  if (errorField == 3 || (errorField != 0 && !c2_)) return Check(kSenseInvalidField);
  if (count == 0) return CommandResult();
  if (count > 0x10000 || static_cast<std::int64_t>(lba) + count > INT32_MAX) return Check(kSenseLbaOutOfRange);
  for (std::uint32_t i = 0; i < count; ++i)
    if (KindOf(lba + static_cast<std::int32_t>(i)) == FrameKind::kNone) return Check(kSenseLbaOutOfRange);

  std::int32_t from = lba;
  ++readCdCount_;
  if (landingOffset_ != 0 && readCdCount_ % landingEvery_ == 0) {
    const std::int64_t shifted = static_cast<std::int64_t>(lba) + landingOffset_;
    bool fits = shifted >= INT32_MIN && shifted + count <= INT32_MAX;
    for (std::uint32_t i = 0; fits && i < count; ++i)
      fits = KindOf(static_cast<std::int32_t>(shifted + i)) != FrameKind::kNone;
    if (fits) from = static_cast<std::int32_t>(shifted);
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const bool isData = KindOf(from + static_cast<std::int32_t>(i)) == FrameKind::kData;
    if ((expected == 1 && isData) || (expected == 2 && !isData)) return Check(kSenseIllegalModeForTrack);
  }
  // A frame the cache holds never reaches the disc, so neither does its error.
  for (ReadErrorRule& e : readErrors_) {
    if (e.lba < from || e.lba >= from + static_cast<std::int64_t>(count)) continue;
    if (CacheFind(lba + (e.lba - from)) != nullptr) continue;
    if (e.times != 0 && e.fired >= e.times) continue;
    ++e.fired;
    return Check(kSenseUnrecoveredRead);
  }

  CommandResult r;
  auto put = [&](const std::uint8_t* src, std::uint32_t size) {
    if (r.overrun) return;
    if (r.transferred + size > dataLength) {
      const std::uint32_t room = dataLength - r.transferred;
      if (room > 0) std::memcpy(data + r.transferred, src, room);
      r.transferred += room;
      r.overrun = true;
      return;
    }
    if (size > 0) std::memcpy(data + r.transferred, src, size);
    r.transferred += size;
  };
  std::uint8_t frame[kCachedFrameBytes];
  std::uint32_t cached = 0;
  for (std::uint32_t i = 0; i < count && !r.overrun; ++i) {
    const std::int32_t at = lba + static_cast<std::int32_t>(i);
    const std::uint8_t* src = CacheFind(at);
    FrameKind kind = FrameKind::kAudio;
    if (src != nullptr) {
      ++cached;
      kind = KindOf(at);
    } else {
      const std::int32_t a = from + static_cast<std::int32_t>(i);
      kind = KindOf(a);
      if (ReadFrameFromDisc(a, kind, frame) != 0) return Check(kSenseUnrecoveredRead);
      CacheStore(a, frame);
      src = frame;
    }
    if (kind == FrameKind::kData && fields == 0x10) put(src + 16, 2048);
    else put(src, fields == 0 ? 0 : kFrameBytes);
    if (errorField != 0) put(src + kFrameBytes, kC2Bytes);
    if (errorField == 2) {
      // The block error byte: the OR of the frame's C2 bytes; then a pad byte.
      std::uint8_t tail[2] = {0, 0};
      for (std::uint32_t k = 0; k < kC2Bytes; ++k) tail[0] = static_cast<std::uint8_t>(tail[0] | src[kFrameBytes + k]);
      put(tail, 2);
    }
  }

  // Frames answered from memory cost no time and do not move the head.
  const std::uint32_t fromDisc = count - cached;
  if (fromDisc > 0) {
    if (latency_.speedX > 0) {
      double speed = latency_.speedX;
      if (readSpeed_ != 0xFFFF && readSpeed_ > 0) speed = std::min(speed, readSpeed_ / 176.4);
      double ms = fromDisc * 1000.0 / (75.0 * speed);
      if (lba != nextReadLba_) ms += latency_.seekMs;
      *sleepMs = static_cast<int>(ms);
    } else if (latency_.seekMs > 0 && lba != nextReadLba_) {
      *sleepMs = latency_.seekMs;
    }
    nextReadLba_ = lba + static_cast<std::int32_t>(count);
  }
  if (readLog_.size() < kReadLogLimit) readLog_.push_back({lba, from, count, cached});
  return r;
}

CommandResult VirtualDrive::ModeSense10(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength) {
  const int pageControl = cdb[2] >> 6;
  const int page = cdb[2] & 0x3F;
  if ((page != 0x2A && page != 0x3F) || cdb[3] != 0) return Check(kSenseInvalidField);
  if (pageControl == 3) return Check(kSenseSavingNotSupported);
  // Mode parameter header (no block descriptors), then the CD capabilities
  // and mechanical status page.
  std::vector<std::uint8_t> a(8 + 20, 0);
  PutBe16(a.data(), static_cast<std::uint32_t>(a.size() - 2));
  std::uint8_t* p = &a[8];
  p[0] = 0x2A;
  p[1] = 0x12;
  if (pageControl != 1) {  // nothing in it is changeable
    const double maxSpeedX = latency_.speedX > 0 ? latency_.speedX : 40;
    const std::uint32_t maxKBs = std::min<std::uint32_t>(static_cast<std::uint32_t>(maxSpeedX * 176.4 + 0.5), 0xFFFF);
    const std::uint32_t current = (readSpeed_ != 0xFFFF && readSpeed_ > 0) ? std::min<std::uint32_t>(readSpeed_, maxKBs) : maxKBs;
    p[2] = 0x03;  // reads CD-R and CD-RW
    p[4] = 0x41;  // audio play, multisession
    // CD-DA commands; the stream is accurate unless reads land off; C2.
    p[5] = static_cast<std::uint8_t>(0x01 | (landingOffset_ == 0 ? 0x02 : 0) | (c2_ ? 0x10 : 0));
    p[6] = 0x29;  // tray loader, eject, lock
    p[7] = 0x03;  // separate volume and mute per channel
    PutBe16(p + 8, maxKBs);
    PutBe16(p + 10, 256);  // volume levels
    PutBe16(p + 12, cacheKiB_);
    PutBe16(p + 14, current);
  }
  const std::uint32_t allocation = (static_cast<std::uint32_t>(cdb[7]) << 8) | cdb[8];
  return Transfer(a, allocation, data, dataLength);
}

}  // namespace vdrive
