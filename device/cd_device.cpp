#include "device/cd_device.h"

#include <cstring>

#include "device/aligned_buffer.h"
#include "device/aspi_transport.h"
#include "device/mmc_commands.h"
#include "device/scsi_status.h"
#include "device/spti_transport.h"
#include "device/system_info.h"

CdDevice::CdDevice() { SetTransport(kTransportAuto); }

CdDevice::~CdDevice() { CloseDevice(); }

int CdDevice::SetTransport(int kind) {
  if (kind == kTransportAuto) kind = HasScsiPassThrough(CurrentSystemInfo()) ? kTransportSpti : kTransportNone;
  std::unique_ptr<ScsiTransport> transport;
  if (kind == kTransportSpti) {
    transport = std::make_unique<SptiTransport>();
  } else if (kind == kTransportAspi) {
    transport = std::make_unique<AspiTransport>();
  } else {
    kind = kTransportNone;
  }
  InstallTransport(std::move(transport), kind);
  return transport_ ? 1 : 0;
}

void CdDevice::InstallTransport(std::unique_ptr<ScsiTransport> transport, int kind) {
  // The open drive belongs to the old transport, which goes now.
  CloseDevice();
  transport_ = std::move(transport);
  transportKind_ = transport_ ? kind : kTransportNone;
}

int CdDevice::SendToCurrentDrive(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data,
                                 std::uint32_t dataLength) {
  const CdDrive* drive = CurrentDrive();
  if (!transport_ || !drive) return -1;
  return transport_->SendToDrive(*drive, cdb, cdbLength, data, dataLength);
}

int CdDevice::TestUnitReady() {
  const mmc::Cdb6 cdb = mmc::TestUnitReady();
  return SendToCurrentDrive(cdb.data(), cdb.size(), nullptr, 0) == 0 ? 1 : 0;
}

int CdDevice::OpenDevice() {
  if (open_) return 0;
  const CdDrive* drive = CurrentDrive();
  if (!transport_ || !drive) return 0;
  open_ = transport_->Reopen(*drive) == 1 ? 1 : 0;
  return open_;
}

int CdDevice::CloseDevice() {
  if (!open_) return 0;
  open_ = 0;
  return transport_ ? transport_->Close() : 0;
}

int CdDevice::SetCdSpeed(std::uint16_t readSpeed, std::uint16_t writeSpeed) {
  const mmc::Cdb12 cdb = mmc::SetCdSpeed(readSpeed, writeSpeed);
  int result;
  if (open_ && transport_) {
    result = transport_->Send(cdb.data(), cdb.size(), nullptr, 0);
  } else {
    result = SendToCurrentDrive(cdb.data(), cdb.size(), nullptr, 0);
  }
  return result == 0 ? 1 : 0;
}

int CdDevice::ReadToc() {
  // A failed read never leaves the previous disc's table behind.
  toc_.Clear();
  AlignedBuffer msf(mmc::kTocLength);
  AlignedBuffer lba(mmc::kTocLength);
  const mmc::Cdb10 msfCdb = mmc::ReadTocMsf();
  if (SendToCurrentDrive(msfCdb.data(), msfCdb.size(), msf.data(), msf.size()) != 0) return -1;
  const mmc::Cdb10 lbaCdb = mmc::ReadTocLba();
  if (SendToCurrentDrive(lbaCdb.data(), lbaCdb.size(), lba.data(), lba.size()) != 0) return -1;
  const int last = DecodeToc(msf.data(), msf.size(), lba.data(), lba.size(), toc_);
  if (last < 0) return -1;

  // A drive that cannot tell its sessions holds one as far as playback is
  // concerned: the table from the format 0 replies stands.
  AlignedBuffer sessions(mmc::kSessionInfoLength);
  SessionInfo info;
  mmc::TocForm form = mmc::TocForm::kMmc;
  auto sessionQuery = [&](mmc::TocForm f) {
    const mmc::Cdb10 cdb = mmc::ReadSessionInfo(f);
    return SendToCurrentDrive(cdb.data(), cdb.size(), sessions.data(), sessions.size()) == 0 &&
           DecodeSessionInfo(sessions.data(), sessions.size(), info);
  };
  if (!sessionQuery(form)) {
    if (!RefusedOrMisread()) return last;
    form = mmc::TocForm::kOld;
    std::memset(sessions.data(), 0, sessions.size());
    if (!sessionQuery(form)) return last;
  }
  if (info.lastSession <= 1) return last;

  // The full TOC in the form the drive took for the session information.
  AlignedBuffer full(mmc::kFullTocBufferSize);
  auto fullQuery = [&](mmc::TocForm f) {
    const mmc::Cdb10 cdb = mmc::ReadFullToc(static_cast<std::uint8_t>(info.firstSession), f);
    return SendToCurrentDrive(cdb.data(), cdb.size(), full.data(), mmc::kFullTocLength) == 0;
  };
  if (!fullQuery(form)) {
    if (form == mmc::TocForm::kOld || !RefusedOrMisread()) return -1;
    std::memset(full.data(), 0, full.size());
    if (!fullQuery(mmc::TocForm::kOld)) return -1;
  }
  ApplyFullToc(full.data(), mmc::kFullTocLength, info.firstSession, info.lastSession, toc_);
  return last;
}

int CdDevice::RefusedOrMisread() {
  // A transport that cannot tell why counts as a refusal: one more command.
  const int key = transport_ ? transport_->LastSenseKey() : -1;
  return key == -1 || key == scsi::kSenseKeyIllegalRequest;
}

int CdDevice::GetTrackEntry(int key, TrackEntry* out) const {
  auto it = toc_.tracks.find(key);
  if (it == toc_.tracks.end()) return 0;
  if (out) *out = it->second;
  return 1;
}

void CdDevice::LbaToMsf(std::uint32_t lba, int* minute, int* second, int* frame) const {
  std::int64_t x = std::int64_t(lba) + MsfOffsetFor(toc_);
  if (x < 0) x = 0;
  if (minute) *minute = static_cast<int>(x / 4500);
  if (second) *second = static_cast<int>((x / 75) % 60);
  if (frame) *frame = static_cast<int>(x % 75);
}

std::int32_t CdDevice::MsfToLba(int minute, int second, int frame) const {
  return static_cast<std::int32_t>(::MsfToLba(toc_, minute, second, frame));
}

void CdDevice::FramesToMsf(std::uint32_t frames, int* minute, int* second, int* frame) {
  if (minute) *minute = static_cast<int>(frames / 4500);
  if (second) *second = static_cast<int>((frames / 75) % 60);
  if (frame) *frame = static_cast<int>(frames % 75);
}
