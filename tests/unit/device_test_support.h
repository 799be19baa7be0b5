#pragma once
// A scripted transport, a substitute system and reply builders for the
// device tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/scsi_transport.h"
#include "device/system_info.h"

namespace devtest {

using Bytes = std::vector<std::uint8_t>;

struct Sent {
  std::string via;  // "SendToDrive" or "Send"
  Bytes cdb;
  std::uint32_t dataLength;
  bool alignedAndZeroed;  // data start on 16 bytes, all zero on arrival
};

// Records every command and answers from replies keyed by the whole CDB;
// an unknown or failing CDB fails. Only the letters in `openable` open.
class ScriptedTransport : public ScsiTransport {
 public:
  std::vector<Sent> sent;
  std::map<Bytes, Bytes> replies;
  std::set<Bytes> failing;
  std::set<char> openable;
  int initializeResult = 1;
  char openLetter = 0;
  int opens = 0, closes = 0;

  int SendToDrive(const CdDrive&, const std::uint8_t* cdb, std::uint8_t n, void* data, std::uint32_t len) override {
    return Answer("SendToDrive", cdb, n, data, len);
  }
  int Send(const std::uint8_t* cdb, std::uint8_t n, void* data, std::uint32_t len) override {
    return openLetter ? Answer("Send", cdb, n, data, len) : -1;
  }
  int Open(const CdDrive& drive) override {
    ++opens;
    openLetter = openable.count(drive.DriveLetter()) ? drive.DriveLetter() : 0;
    return openLetter ? 1 : 0;
  }
  int Close() override {
    ++closes;
    openLetter = 0;
    return 1;
  }
  int IsAvailable() override { return 1; }
  int Initialize() override { return initializeResult; }
  int GetAddress(ScsiAddress* out) override {
    *out = ScsiAddress{8, 1, 2, 3, 4};
    return 1;
  }

 private:
  int Answer(const char* via, const std::uint8_t* cdb, std::uint8_t n, void* data, std::uint32_t len) {
    auto* bytes = static_cast<std::uint8_t*>(data);
    bool clean = reinterpret_cast<std::uintptr_t>(data) % 16 == 0;
    for (std::uint32_t i = 0; i < len; ++i) clean = clean && bytes[i] == 0;
    sent.push_back(Sent{via, Bytes(cdb, cdb + n), len, clean});
    auto it = replies.find(sent.back().cdb);
    if (failing.count(sent.back().cdb) || it == replies.end()) return -1;
    if (len) std::memcpy(data, it->second.data(), std::min<std::size_t>(it->second.size(), len));
    return 0;
  }
};

class FakeSystem : public SystemInfo {
 public:
  std::vector<std::string> roots;
  std::set<char> cdroms;
  int ntMajor = 5;
  std::vector<std::string> LogicalDriveStrings() override { return roots; }
  bool IsCdRom(const std::string& root) override { return cdroms.count(root[0]) > 0; }
  int NtMajorVersion() override { return ntMajor; }
};

// Installs a FakeSystem while in scope.
struct ScopedSystem {
  explicit ScopedSystem(FakeSystem& system) { SetSystemInfoForTesting(&system); }
  ~ScopedSystem() { SetSystemInfoForTesting(nullptr); }
};

inline Bytes InquiryData() {
  Bytes data(36, ' ');
  std::fill(data.begin(), data.begin() + 8, 0);
  data[0] = 0x05;
  std::memcpy(&data[8], "ABC", 3);  // then five blanks
  std::memcpy(&data[16], "CD-ROM X", 8);
  std::memcpy(&data[32], "1.0", 3);
  return data;
}
inline const Bytes kInquiryCdb{0x12, 0, 0, 0, 0x24, 0};

// Gives `device` a scripted transport and drive D: (a CD-ROM answering
// INQUIRY) as its current drive; the transport stays owned by `device`.
template <class Device>
ScriptedTransport* AttachDriveD(Device& device, FakeSystem& system) {
  auto owned = std::make_unique<ScriptedTransport>();
  ScriptedTransport* transport = owned.get();
  transport->openable = {'D'};
  transport->replies[kInquiryCdb] = InquiryData();
  system.roots = {"D:\\"};
  system.cdroms = {'D'};
  device.InstallTransport(std::move(owned), 2);
  device.EnumerateDrives();
  device.SelectDrive('D');
  transport->sent.clear();
  return transport;
}

struct TocTrack {
  std::uint8_t control;  // 4 data, 2 copy permitted, 1 pre-emphasis, 8 four channels
  std::uint32_t lba;
};

inline void PutMsf(std::uint8_t* p, std::uint32_t x) {
  p[0] = static_cast<std::uint8_t>(x / 4500);
  p[1] = static_cast<std::uint8_t>(x / 75 % 60);
  p[2] = static_cast<std::uint8_t>(x % 75);
}

// READ TOC format 0 reply for tracks 1..n and the lead-out; the MSF form
// adds `msfOffset` frames to every address.
inline Bytes TocReply(const std::vector<TocTrack>& tracks, std::uint32_t leadOut, bool msf, int msfOffset = 150) {
  const std::size_t n = tracks.size();
  Bytes out(4 + (n + 1) * 8, 0);
  out[1] = static_cast<std::uint8_t>(out.size() - 2);
  out[0] = static_cast<std::uint8_t>((out.size() - 2) >> 8);
  out[2] = 1;
  out[3] = static_cast<std::uint8_t>(n);
  for (std::size_t i = 0; i <= n; ++i) {
    std::uint8_t* d = &out[4 + i * 8];
    const std::uint32_t lba = i < n ? tracks[i].lba : leadOut;
    d[1] = static_cast<std::uint8_t>(0x10 | (i < n ? tracks[i].control : 0));
    d[2] = static_cast<std::uint8_t>(i < n ? i + 1 : 0xAA);
    if (msf) PutMsf(d + 5, lba + msfOffset);
    for (int b = 0; !msf && b < 4; ++b) d[4 + b] = static_cast<std::uint8_t>(lba >> (24 - 8 * b));
  }
  return out;
}

// Full TOC descriptors: session, POINT, then PMIN/PSEC/PFRAME from an
// absolute frame count.
inline Bytes FullTocReply(const std::vector<std::pair<std::pair<int, int>, std::uint32_t>>& descriptors) {
  Bytes out(4 + descriptors.size() * 11, 0);
  out[1] = static_cast<std::uint8_t>(out.size() - 2);
  for (std::size_t k = 0; k < descriptors.size(); ++k) {
    std::uint8_t* d = &out[4 + k * 11];
    d[0] = static_cast<std::uint8_t>(descriptors[k].first.first);
    d[3] = static_cast<std::uint8_t>(descriptors[k].first.second);
    PutMsf(d + 8, descriptors[k].second);
  }
  return out;
}

// One CD-TEXT block: the already terminated text of each pack type, then
// three size-information packs naming `lastTrack`, the character code and
// the languages. `doubleByte` sets the flag on the text packs; the size
// packs carry it only when `sizePacksMarked` is set as well.
struct CdTextBlock {
  std::map<std::uint8_t, std::string> text;
  int lastTrack = 0;
  bool doubleByte = false;
  bool sizePacksMarked = true;
  std::uint8_t characterCode = 0x00;
  std::vector<std::uint8_t> languages{0x09};
};

inline Bytes CdTextReply(const std::vector<CdTextBlock>& blocks) {
  Bytes out(4, 0);
  auto pack = [&out](std::uint8_t type, std::uint8_t info, const char* data, std::size_t n) {
    std::uint8_t p[18] = {type, 0, 0, info};
    std::memcpy(p + 4, data, std::min<std::size_t>(n, 12));
    out.insert(out.end(), p, p + 18);
  };
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const std::uint8_t info = static_cast<std::uint8_t>((blocks[b].doubleByte ? 0x80 : 0) | ((b & 7) << 4));
    const std::uint8_t sizeInfo = blocks[b].sizePacksMarked ? info : static_cast<std::uint8_t>(info & 0x7F);
    for (const auto& t : blocks[b].text)
      for (std::size_t k = 0; k < t.second.size(); k += 12) pack(t.first, info, &t.second[k], t.second.size() - k);
    char size[36] = {};
    size[0] = static_cast<char>(blocks[b].characterCode);
    size[2] = static_cast<char>(blocks[b].lastTrack);
    for (std::size_t l = 0; l < blocks[b].languages.size(); ++l) size[28 + l] = static_cast<char>(blocks[b].languages[l]);
    for (int p = 0; p < 3; ++p) pack(0x8F, sizeInfo, size + 12 * p, 12);
  }
  out[0] = static_cast<std::uint8_t>((out.size() - 2) >> 8);
  out[1] = static_cast<std::uint8_t>(out.size() - 2);
  return out;
}

}  // namespace devtest
