#pragma once
// Finds the drive's read offset from the AccurateRip database: the offset
// frames of the disc's tracks, read uncorrected, against every pressing's
// offset-frame checksums. Run by the ripping page's button (off the host's
// thread) and by the first rip of a disc while no offset is stored.
#include <string>

#include "accuraterip/dbar_fetch.h"
#include "host_api/win_types.h"
#include "rip/stop_signal.h"

class CdDevice;
class CCriticalSection;

namespace offset_detection {

enum DetectState : int {
  kOffsetFound = 0,
  kOffsetCannotTell = 1,   // the tracks do not agree on one offset firmly enough
  kOffsetNoDisc = 2,       // no drive holds an audio disc
  kOffsetNoDatabase = 3,   // the database has no answer for the disc (or could not be asked)
  kOffsetStopped = 4,      // the plug-in is quitting
  kOffsetReadFailed = 5,   // the drive did not give the frames
};

struct Detection {
  int state = kOffsetStopped;  // a DetectState
  int offset = 0;              // kOffsetFound: the correction, in samples
  char drive = 0;              // the drive read, 0 when none
  int tracks = 0;              // tracks that agree on it
  int confidence = 0;          // their total confidence
  std::string text;            // what the page and the log show, Japanese, UTF-8
};

// Reads the offset frames of the disc in the device's current drive (its
// table read) and checks them against the disc's fetched answer. Blocks
// for a few reads; the drive lock is taken per command.
Detection DetectOnDevice(CdDevice& device, CCriticalSection& lock, const rip::StopSignal& stop,
                         const accuraterip::FetchOutcome& outcome);

// Stores an offset found in the settings (written at Quit).
void StoreOffset(int offset);

// The page's button: starts a detection on its own thread (the first drive
// holding an audio disc; the server as the page shows it, the proxy as the
// settings hold it) and posts `message` to `page` when it has ended. An
// offset found is stored in the settings at once. false when a detection
// is running already or no thread could be started.
bool Start(HWND page, unsigned message, const std::string& server);
// The answer of the latest detection that has ended.
Detection Last();

// Quit: a running detection is stopped and waited for (briefly).
void EndAll();
void Reopen();

}  // namespace offset_detection
