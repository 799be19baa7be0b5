#pragma once
// The system's handle on one CD drive at a time: it owns the transport, the
// drive table with the current drive, and the disc's table of contents,
// and sends every MMC command the system uses.
#include <cstdint>
#include <map>
#include <memory>

#include "device/cd_drive.h"
#include "device/disc_toc.h"
#include "device/scsi_transport.h"

enum TransportKindCode : int {
  kTransportNone = 0,
  kTransportAuto = 1,
  kTransportSpti = 2,
  kTransportAspi = 3,
};

class CdDevice {
 public:
  CdDevice();  // starts with the automatic transport choice
  virtual ~CdDevice();
  CdDevice(const CdDevice&) = delete;
  CdDevice& operator=(const CdDevice&) = delete;

  // Transport. Kind 1: SPTI on Windows NT 4 and later, else none; 2 SPTI;
  // 3 ASPI; anything else none. Returns 1 when a transport now exists.
  int SetTransport(int kind);
  // Installs a given transport (tests, the virtual drive) under `kind`.
  void InstallTransport(std::unique_ptr<ScsiTransport> transport, int kind);
  int TransportKind() const { return transport_ ? transportKind_ : kTransportNone; }
  ScsiTransport* Transport() { return transport_.get(); }

  // Drive table.
  // Probes every CD-ROM drive of the system with INQUIRY; the number of
  // drives added, or -2 when the transport's Initialize does not give 1.
  int EnumerateDrives();
  char FindDrive(char letter) const;
  char SelectDrive(char letter);
  const CdDrive* CurrentDrive() const;  // nullptr when none is selected
  char CurrentDriveLetter() const { return currentDrive_; }
  const std::map<char, CdDrive>& Drives() const { return drives_; }
  // 1 when the drive is in the table and the transport can open it.
  int IsDriveUsable(char letter);

  // Commands on the current drive.
  int TestUnitReady();
  int OpenDevice();
  int CloseDevice();
  int IsOpen() const { return open_; }
  int SetCdSpeed(std::uint16_t readSpeed, std::uint16_t writeSpeed);

  // Rebuilds the table of contents; the last track number, or -1. When the
  // two format 0 replies fail or contradict themselves the table is left
  // empty; a failed full TOC keeps the table they gave. Session
  // information and the full TOC are asked in the MMC form, and in the
  // older form only when the drive refuses that; a drive that answers
  // neither is taken to hold a single session.
  virtual int ReadToc();
  int GetTrackEntry(int key, TrackEntry* out) const;
  int LastTrack() const { return toc_.lastTrack; }
  const DiscToc& Toc() const { return toc_; }

  void LbaToMsf(std::uint32_t lba, int* minute, int* second, int* frame) const;
  std::int32_t MsfToLba(int minute, int second, int frame) const;
  static void FramesToMsf(std::uint32_t frames, int* minute, int* second, int* frame);

 protected:
  // SendToDrive on the current drive; -1 without a transport or drive.
  int SendToCurrentDrive(const std::uint8_t* cdb, std::uint8_t cdbLength, void* data, std::uint32_t dataLength);

 private:
  int ProbeDrive(CdDrive& drive);
  // After a failed READ TOC: 1 when the drive refused the command block as
  // such (or cannot say why), so that the older form is worth a try.
  int RefusedOrMisread();

  std::unique_ptr<ScsiTransport> transport_;
  int transportKind_ = kTransportNone;
  std::map<char, CdDrive> drives_;
  char currentDrive_ = 0;
  int open_ = 0;
  DiscToc toc_;
};

// INQUIRY data (36 bytes or more) into the drive record: identification
// strings without trailing blanks and the bit fields. False when too short.
bool DecodeInquiry(const std::uint8_t* data, std::size_t length, CdDrive& drive);
