#pragma once
// A scripted transport, a substitute system and disc-reply builders for the
// device tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/scsi_transport.h"
#include "device/system_info.h"

namespace devtest {

using Bytes = std::vector<std::uint8_t>;

struct SentCommand {
  std::string via;  // "SendToDrive" or "Send"
  char letter = 0;  // drive addressed (the open one for Send)
  Bytes cdb;
  std::uint32_t dataLength = 0;
  bool aligned = false;     // data start on a 16-byte boundary
  bool zeroFilled = false;  // data all zero on arrival
};

// Records every command and answers from canned replies keyed by the whole
// CDB; an unknown CDB fails. Opening works for the letters in `openable`.
class ScriptedTransport : public ScsiTransport {
 public:
  std::vector<SentCommand> sent;
  std::map<Bytes, Bytes> replies;
  std::set<Bytes> failing;
  std::set<char> openable;
  int initializeResult = 1;
  char openLetter = 0;
  int opens = 0;
  int closes = 0;
  ScsiAddress address{8, 1, 2, 3, 4};

  void Reply(const Bytes& cdb, const Bytes& data) { replies[cdb] = data; }

  int SendToDrive(const CdDrive& drive, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                  std::uint32_t dataLength) override {
    return Answer("SendToDrive", drive.DriveLetter(), cdb, cdbLength, data, dataLength);
  }
  int Open(const CdDrive& drive) override {
    ++opens;
    if (!openable.count(drive.DriveLetter())) return 0;
    openLetter = drive.DriveLetter();
    return 1;
  }
  int Close() override {
    ++closes;
    openLetter = 0;
    return 1;
  }
  int Send(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength) override {
    if (!openLetter) return -1;
    return Answer("Send", openLetter, cdb, cdbLength, data, dataLength);
  }
  int IsAvailable() override { return 1; }
  int Initialize() override { return initializeResult; }
  int GetAddress(ScsiAddress* out) override {
    *out = address;
    return 1;
  }

  std::vector<Bytes> Cdbs() const {
    std::vector<Bytes> all;
    for (const auto& c : sent) all.push_back(c.cdb);
    return all;
  }

 private:
  int Answer(const char* via, char letter, const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
             std::uint32_t dataLength) {
    SentCommand c;
    c.via = via;
    c.letter = letter;
    c.cdb.assign(cdb, cdb + cdbLength);
    c.dataLength = dataLength;
    auto* bytes = static_cast<std::uint8_t*>(data);
    c.aligned = reinterpret_cast<std::uintptr_t>(data) % 16 == 0;
    c.zeroFilled = true;
    for (std::uint32_t i = 0; i < dataLength; ++i) c.zeroFilled = c.zeroFilled && bytes[i] == 0;
    sent.push_back(c);
    if (failing.count(c.cdb)) return -1;
    auto it = replies.find(c.cdb);
    if (it == replies.end()) return -1;
    if (data && dataLength) std::memcpy(data, it->second.data(), std::min<std::size_t>(it->second.size(), dataLength));
    return 0;
  }
};

class FakeSystem : public SystemInfo {
 public:
  std::vector<std::string> roots;
  std::set<char> cdroms;
  int ntMajor = 5;

  std::vector<std::string> LogicalDriveStrings() override { return roots; }
  bool IsCdRom(const std::string& root) override { return !root.empty() && cdroms.count(root[0]); }
  int NtMajorVersion() override { return ntMajor; }
};

// Installs a FakeSystem for the lifetime of the object.
class ScopedSystem {
 public:
  explicit ScopedSystem(FakeSystem& system) { SetSystemInfoForTesting(&system); }
  ~ScopedSystem() { SetSystemInfoForTesting(nullptr); }
};

struct TocTrack {
  std::uint8_t control;  // low four bits: 4 data track, 2 copy permitted, ...
  std::uint32_t lba;
};

// READ TOC format 0 reply for tracks 1..n and the lead-out; MSF form adds
// `msfOffset` frames to every address.
inline Bytes TocReply(const std::vector<TocTrack>& tracks, std::uint32_t leadOut, bool msf, int msfOffset = 150) {
  const std::size_t n = tracks.size();
  Bytes out(4 + (n + 1) * 8, 0);
  const std::size_t dataLength = out.size() - 2;
  out[0] = static_cast<std::uint8_t>(dataLength >> 8);
  out[1] = static_cast<std::uint8_t>(dataLength);
  out[2] = 1;
  out[3] = static_cast<std::uint8_t>(n);
  for (std::size_t i = 0; i <= n; ++i) {
    std::uint8_t* d = &out[4 + i * 8];
    const std::uint32_t lba = i < n ? tracks[i].lba : leadOut;
    d[1] = static_cast<std::uint8_t>(0x10 | (i < n ? tracks[i].control : 0));
    d[2] = static_cast<std::uint8_t>(i < n ? i + 1 : 0xAA);
    if (msf) {
      const std::uint32_t x = lba + msfOffset;
      d[5] = static_cast<std::uint8_t>(x / 4500);
      d[6] = static_cast<std::uint8_t>((x / 75) % 60);
      d[7] = static_cast<std::uint8_t>(x % 75);
    } else {
      d[4] = static_cast<std::uint8_t>(lba >> 24);
      d[5] = static_cast<std::uint8_t>(lba >> 16);
      d[6] = static_cast<std::uint8_t>(lba >> 8);
      d[7] = static_cast<std::uint8_t>(lba);
    }
  }
  return out;
}

inline Bytes SessionReply(std::uint8_t first, std::uint8_t last) { return Bytes{0, 10, first, last, 0, 0, 0, 0, 0, 0, 0, 0}; }

struct FullTocDescriptor {
  std::uint8_t session, point, pmin, psec, pframe;
};

inline Bytes FullTocReply(const std::vector<FullTocDescriptor>& descriptors) {
  Bytes out(4 + descriptors.size() * 11, 0);
  out[0] = static_cast<std::uint8_t>((out.size() - 2) >> 8);
  out[1] = static_cast<std::uint8_t>(out.size() - 2);
  for (std::size_t k = 0; k < descriptors.size(); ++k) {
    std::uint8_t* d = &out[4 + k * 11];
    d[0] = descriptors[k].session;
    d[1] = 0x10;
    d[3] = descriptors[k].point;
    d[8] = descriptors[k].pmin;
    d[9] = descriptors[k].psec;
    d[10] = descriptors[k].pframe;
  }
  return out;
}

// CD-TEXT packs of one block: the strings of each pack type (entry 0 the
// disc) laid out with their terminators, then three size-information packs.
struct CdTextBlock {
  std::map<std::uint8_t, std::vector<std::string>> texts;  // pack type -> strings
  std::uint8_t lastTrack = 0;
  bool doubleByte = false;
  std::uint8_t index = 0;                     // the block's number
  std::vector<std::uint8_t> languages{0x09};  // language code of block 0, 1, ...
  Bytes raw;  // used instead of `texts` when not empty: already terminated bytes for type 0x80
};

inline void AppendPack(Bytes& out, std::uint8_t type, std::uint8_t blockInfo, const std::uint8_t* text) {
  out.push_back(type);
  out.push_back(0);
  out.push_back(0);
  out.push_back(blockInfo);
  out.insert(out.end(), text, text + 12);
  out.push_back(0);
  out.push_back(0);
}

inline void AppendText(Bytes& out, std::uint8_t type, const Bytes& text, std::uint8_t blockInfo) {
  for (std::size_t k = 0; k < text.size(); k += 12) {
    std::uint8_t chunk[12] = {};
    std::memcpy(chunk, &text[k], std::min<std::size_t>(12, text.size() - k));
    AppendPack(out, type, blockInfo, chunk);
  }
}

inline Bytes CdTextPacks(const std::vector<CdTextBlock>& blocks) {
  Bytes packs;
  for (const CdTextBlock& block : blocks) {
    const std::uint8_t info = static_cast<std::uint8_t>((block.doubleByte ? 0x80 : 0) | (block.index << 4));
    const std::size_t terminator = block.doubleByte ? 2 : 1;
    if (!block.raw.empty()) AppendText(packs, 0x80, block.raw, info);
    for (const auto& entry : block.texts) {
      Bytes text;
      for (const std::string& s : entry.second) {
        text.insert(text.end(), s.begin(), s.end());
        text.insert(text.end(), terminator, 0);
      }
      AppendText(packs, entry.first, text, info);
    }
    std::uint8_t size[36] = {};
    size[2] = block.lastTrack;
    for (std::size_t b = 0; b < block.languages.size() && b < 8; ++b) size[28 + b] = block.languages[b];
    for (int p = 0; p < 3; ++p) AppendPack(packs, 0x8F, info, size + 12 * p);
  }
  return packs;
}

// A READ TOC format 5 reply around the packs.
inline Bytes CdTextReply(const Bytes& packs) {
  Bytes out(4 + packs.size(), 0);
  const std::size_t dataLength = packs.size() + 2;
  out[0] = static_cast<std::uint8_t>(dataLength >> 8);
  out[1] = static_cast<std::uint8_t>(dataLength);
  std::copy(packs.begin(), packs.end(), out.begin() + 4);
  return out;
}

}  // namespace devtest

namespace devtest {

// INQUIRY data of a CD-ROM drive.
inline Bytes InquiryData(const char* vendor = "ABC     ", const char* product = "CD-ROM DRIVE    ",
                         const char* revision = "1.00") {
  Bytes data(36, 0);
  data[0] = 0x05;
  data[1] = 0x80;
  std::memcpy(&data[8], vendor, 8);
  std::memcpy(&data[16], product, 16);
  std::memcpy(&data[32], revision, 4);
  return data;
}

inline const Bytes kInquiryCdb{0x12, 0, 0, 0, 0x24, 0};

// Gives `device` a scripted transport and drive D: (a CD-ROM that answers
// INQUIRY) as its current drive; returns the transport, owned by `device`.
template <class Device>
ScriptedTransport* AttachDriveD(Device& device, FakeSystem& system) {
  auto owned = std::make_unique<ScriptedTransport>();
  ScriptedTransport* transport = owned.get();
  transport->openable = {'D'};
  transport->Reply(kInquiryCdb, InquiryData());
  system.roots = {"D:\\"};
  system.cdroms = {'D'};
  device.InstallTransport(std::move(owned), 2);
  device.EnumerateDrives();
  device.SelectDrive('D');
  transport->sent.clear();
  return transport;
}

}  // namespace devtest
