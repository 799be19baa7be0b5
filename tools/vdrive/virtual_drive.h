#pragma once
// An MMC CD drive with a disc in it (or none), answering the command blocks
// the plug-ins send, with behaviours a test can switch on: failing or hanging
// commands, read errors, reads landing early or late, a latency model, a read
// offset, lead-in/lead-out over-reads, a read cache, sectors that read wrong,
// C2 error pointers. It counts every command it receives. All operations are
// thread-safe.
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/vdrive/disc_image.h"

namespace vdrive {

struct SenseCode {
  std::uint8_t key = 0;
  std::uint8_t asc = 0;
  std::uint8_t ascq = 0;
};

constexpr SenseCode kSenseNoDisc{0x02, 0x3A, 0x00};
constexpr SenseCode kSenseInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseCode kSenseInvalidField{0x05, 0x24, 0x00};
constexpr SenseCode kSenseLbaOutOfRange{0x05, 0x21, 0x00};
constexpr SenseCode kSenseIllegalModeForTrack{0x05, 0x64, 0x00};
constexpr SenseCode kSenseUnrecoveredRead{0x03, 0x11, 0x00};
constexpr SenseCode kSenseMediumChanged{0x06, 0x28, 0x00};
constexpr SenseCode kSenseHardwareFailure{0x04, 0x44, 0x00};

struct CommandResult {
  enum Status { kGood = 0, kCheckCondition = 2 };
  int status = kGood;
  SenseCode sense;
  std::uint32_t transferred = 0;  // bytes written to the caller's buffer
  bool overrun = false;           // the answer was longer than the buffer
  bool shortened = false;         // a short transfer made by ShortenReply
  bool hang = false;              // a hanging command: never completes

  bool ok() const { return status == kGood && !overrun && !hang; }
  // Fixed-format sense data (0x70), up to 18 bytes.
  void FillSense(std::uint8_t* out, std::size_t length) const;
};

struct DriveIdentity {
  std::string vendor = "QUORVO";
  std::string product = "VIRTUAL CD-ROM";
  std::string revision = "1.00";
};

struct LatencyModel {
  double speedX = 0;  // 0: no delay at all; 1x = 75 frames per second
  int seekMs = 0;     // added when a read does not continue the last one
};

constexpr SenseCode kSenseSavingNotSupported{0x05, 0x39, 0x00};

struct ReadRecord {
  std::int32_t requested;
  std::int32_t delivered;  // differs from requested when the read landed off
  std::uint32_t frames;
  std::uint32_t cachedFrames;  // of them answered from the drive's cache
};

// Sectors chosen by VirtualDrive::ScatterSectors, ascending.
struct ScatterList {
  std::vector<std::int32_t> wrong;       // always read wrong
  std::vector<std::int32_t> unreadable;  // always fail
};

// The choice ScatterSectors makes: wrong + unreadable distinct LBAs in
// [from, to), drawn with MT19937 seeded with `seed`; the first `wrong` drawn
// are the wrong ones. Empty when they do not fit.
ScatterList ChooseScatteredSectors(std::uint32_t seed, std::uint32_t wrong, std::uint32_t unreadable,
                                   std::int32_t from, std::int32_t to);

constexpr std::uint32_t kC2Bytes = 294;  // one bit per byte of a 2352-byte frame

class VirtualDrive {
 public:
  explicit VirtualDrive(DriveIdentity identity = DriveIdentity());

  // Disc handling. InsertCue: 0 ok, -1 (with *error) leaves the drive empty.
  int InsertCue(const std::string& cuePath, std::string* error);
  void Insert(std::shared_ptr<const Disc> disc);
  void Eject();
  bool HasDisc() const;
  std::shared_ptr<const Disc> disc() const;
  void SetIdentity(const DriveIdentity& identity);
  // After an insert, the first command other than INQUIRY reports a
  // medium change once, as real drives do. Off by default.
  void SetUnitAttentionOnInsert(bool on);

  // Behaviours. opcode -1 matches every command. The first `skip` matching
  // commands pass; then `times` of them fail (0: every one from then on).
  void FailCommand(int opcode, std::uint32_t times = 0, std::uint32_t skip = 0,
                   SenseCode sense = kSenseHardwareFailure);
  // Matching commands never complete (the ASPI front end leaves them pending).
  void HangCommand(int opcode, std::uint32_t times = 0, std::uint32_t skip = 0);
  // A READ CD touching the LBA fails with an unrecovered read error
  // (times 0: always).
  void AddReadError(std::int32_t lba, std::uint32_t times = 0);
  // Every everyNth READ CD delivers data from offsetFrames away from the
  // address asked (negative: early). 0 switches it off.
  void SetLanding(int offsetFrames, std::uint32_t everyNth = 1);
  void SetLatency(const LatencyModel& model);
  // Replies of matching commands that succeed are mangled; `format` narrows
  // READ TOC (0x43) to one of its formats (-1: any). ShortenReply: only the
  // first `bytes` reach the caller (a short transfer: the rest of its buffer
  // stays as it was). GarbleReply: the bytes from `from` on are scrambled,
  // the same way every time.
  void ShortenReply(int opcode, std::uint32_t bytes, int format = -1, std::uint32_t times = 0,
                    std::uint32_t skip = 0);
  void GarbleReply(int opcode, std::uint32_t from = 0, int format = -1, std::uint32_t times = 0,
                   std::uint32_t skip = 0);
  // Which forms of READ TOC session information and full TOC the drive
  // knows: the format in byte 2 (MMC), in the control byte's top two bits
  // (drives from before MMC), or both (the default). A form it does not
  // know ends in ILLEGAL REQUEST / INVALID FIELD IN CDB (05/24/00).
  enum class TocForms { kBoth, kMmcOnly, kOldOnly };
  void SetTocForms(TocForms forms);
  // Read offset in samples: with +N, READ CD of LBA L delivers the disc's
  // audio bytes from L * 2352 - 4N on; samples outside the image are zero.
  // Data sectors are not shifted.
  void SetReadOffset(int samples);
  // READ CD may reach up to 150 frames below LBA 0 (lead-in) and past each
  // session's lead-out (lead-out), delivering silence (offset applied).
  // Off: such an LBA fails with 05/21/00.
  void SetOverread(bool leadIn, bool leadOut);
  // A read cache of `kib` KiB: the frames last read from the disc, as
  // delivered (wrong data and C2 bits included), answer any read of them
  // without touching the disc. 0: none. Reported by MODE SENSE page 2Ah.
  void SetCache(std::uint32_t kib);
  // The first `times` reads of the sector from the disc deliver wrong audio,
  // different on every read (0: every read).
  void AddFlakySector(std::int32_t lba, std::uint32_t times = 0);
  // `wrong` always-wrong and `unreadable` always-failing sectors in
  // [from, to) (to -1: the first session's lead-out). 0 ok, -1 when they do
  // not fit or to is -1 without a disc.
  int ScatterSectors(std::uint32_t seed, std::uint32_t wrong, std::uint32_t unreadable, std::int32_t from = 0,
                     std::int32_t to = -1);
  ScatterList ScatteredSectors() const;
  // C2 error pointers: reported by MODE SENSE page 2Ah; READ CD's error
  // field (byte 9 bits 2..1) 01b appends 294 bytes per frame, 10b also the
  // block error byte and a pad byte. Off (the default): such a READ CD fails
  // with 05/24/00.
  void SetC2(bool on);
  void ClearBehaviours();

  // Counters: commands received per opcode (-1: all), whatever the outcome.
  std::uint32_t CommandCount(int opcode) const;
  std::vector<ReadRecord> ReadLog() const;
  // Frames READ CD delivered from the disc, not from the cache.
  std::uint32_t DiscFramesRead() const;
  void ResetCounters();
  std::uint16_t RequestedReadSpeed() const;  // last SET CD SPEED, 0xFFFF initially

  // Runs one command. data may be null when dataLength is 0.
  CommandResult Execute(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data,
                        std::uint32_t dataLength);

 private:
  struct FaultRule {
    int opcode;
    std::uint32_t skip;
    std::uint32_t times;
    std::uint32_t seen;
    std::uint32_t fired;
    bool hang;
    SenseCode sense;
  };
  struct ReplyRule {
    int opcode;
    int format;
    bool garble;           // else shorten
    std::uint32_t offset;  // bytes kept (shorten) or first byte scrambled (garble)
    std::uint32_t skip;
    std::uint32_t times;
    std::uint32_t seen;
    std::uint32_t fired;
  };
  struct ReadErrorRule {
    std::int32_t lba;
    std::uint32_t times;
    std::uint32_t fired;
  };
  struct FlakyRule {
    std::uint32_t times;
    std::uint32_t reads;
  };
  // A frame as read: its audio and its C2 bits.
  static constexpr std::uint32_t kCachedFrameBytes = static_cast<std::uint32_t>(kFrameBytes) + kC2Bytes;
  enum class FrameKind { kNone, kAudio, kData, kSilence };  // kSilence: lead-in/lead-out
  static constexpr std::int32_t kNoFrame = INT32_MIN;

  CommandResult Dispatch(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data,
                         std::uint32_t dataLength, int* sleepMs);
  CommandResult Inquiry(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength);
  CommandResult ReadToc(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength);
  CommandResult ReadCd(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength, int* sleepMs);
  CommandResult ModeSense10(const std::uint8_t* cdb, std::uint8_t* data, std::uint32_t dataLength);
  FrameKind KindOf(std::int32_t lba) const;
  // One frame from the disc into out (kCachedFrameBytes: audio, then C2).
  // 0 ok, -1 the image could not be read.
  int ReadFrameFromDisc(std::int32_t lba, FrameKind kind, std::uint8_t* out);
  int ReadShiftedAudio(std::int32_t lba, std::uint8_t* out);
  const std::uint8_t* RawSector(std::int32_t lba);  // null: unreadable
  const std::uint8_t* CacheFind(std::int32_t lba) const;
  void CacheStore(std::int32_t lba, const std::uint8_t* frame);
  void CacheReset();

  mutable std::mutex lock_;
  DriveIdentity identity_;
  std::shared_ptr<const Disc> disc_;
  bool unitAttentionOnInsert_ = false;
  bool unitAttentionPending_ = false;
  std::vector<FaultRule> faults_;
  std::vector<ReadErrorRule> readErrors_;
  std::vector<ReplyRule> replyRules_;
  TocForms tocForms_ = TocForms::kBoth;
  int landingOffset_ = 0;
  std::uint32_t landingEvery_ = 1;
  std::uint32_t readCdCount_ = 0;
  LatencyModel latency_;
  std::int32_t nextReadLba_ = -1;
  std::uint16_t readSpeed_ = 0xFFFF;
  std::array<std::uint32_t, 256> counts_{};
  std::uint32_t total_ = 0;
  std::vector<ReadRecord> readLog_;
  std::uint32_t discFramesRead_ = 0;

  int readOffset_ = 0;
  bool overreadLeadIn_ = false;
  bool overreadLeadOut_ = false;
  bool c2_ = false;
  std::unordered_map<std::int32_t, FlakyRule> flaky_;
  ScatterList scattered_;
  // The cache: a ring of frames in the order they were read, and where each
  // LBA sits in it.
  std::uint32_t cacheKiB_ = 0;
  std::vector<std::uint8_t> cacheFrames_;
  std::vector<std::int32_t> cacheLbas_;
  std::size_t cacheNext_ = 0;
  std::unordered_map<std::int32_t, std::size_t> cacheIndex_;
  // The last raw sector read: an offset read needs each sector twice.
  std::int32_t rawLba_ = 0;
  bool rawValid_ = false;
  std::array<std::uint8_t, kFrameBytes> raw_{};
};

// The READ TOC answers in full, before the allocation length cuts them;
// exposed for tests and the cross-check tool.
std::vector<std::uint8_t> BuildTocAnswer(const Disc& disc, bool msf, std::uint8_t startTrack, bool* invalid);
std::vector<std::uint8_t> BuildSessionAnswer(const Disc& disc, bool msf);
std::vector<std::uint8_t> BuildFullTocAnswer(const Disc& disc, std::uint8_t startSession);
std::vector<std::uint8_t> BuildCdTextAnswer(const Disc& disc);

}  // namespace vdrive
