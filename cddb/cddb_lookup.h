#pragma once
// What title resolution asks of CDDB: look the disc up (from the cache, at
// once with the status window, or in the background) and hand the caller
// the disc's record. The CDDB client implements this interface; until one
// is installed every disc is "not registered".
#include "cddb/cddb_record.h"
#include "device/cd_text.h"
#include "device/disc_toc.h"

// Outcome of a lookup. A background lookup that has just been started
// answers kCddbLookupStarted, which is none of the outcomes and which callers
// treat like 2..8: no texts yet.
enum CddbResult : int {
  kCddbFoundOnServer = 0,
  kCddbFoundInCache = 1,
  kCddbAlreadyTried = 2,
  kCddbNoDisc = 3,
  kCddbServerUnreachable = 4,
  kCddbNotRegistered = 5,
  kCddbReadFailed = 6,
  kCddbUnexpectedData = 7,
  kCddbWindowFailed = 8,
  kCddbBusy = 9,
  kCddbServerRefused = 10,  // a 4xx/5xx reply: the server turned the request down
  kCddbLookupStarted = -1,
};

// Who asks: the host's title query and extended-information query start a
// background lookup; the information dialog looks up at once.
enum CddbLookupMode : int {
  kCddbModeTitle = 0,
  kCddbModeExtendedInfo = 1,
  kCddbModeImmediate = 2,
};

class CddbLookup {
 public:
  virtual ~CddbLookup() = default;
  // A CddbResult; with 0 or 1 the disc's record is in *found, the caller's
  // own: a lookup for another drive meanwhile does not change it.
  virtual int LookupDisc(int mode, const DiscToc& toc, CddbDiscRecord* found) = 0;
};

// 1 and the texts of entry `number` (0: the disc) of `record`; 0 and `out`
// untouched when it has no such entry.
int CddbTrackText(const CddbDiscRecord& record, int number, TitleInfo* out);

// Knows no disc.
class NoCddbLookup : public CddbLookup {
 public:
  int LookupDisc(int, const DiscToc&, CddbDiscRecord*) override { return kCddbNotRegistered; }
};

// The lookup title resolution uses: the installed one, else a NoCddbLookup.
CddbLookup& TitleCddb();
// Installs the plug-in's CDDB client (nullptr: none); the object must live
// as long as titles may be asked for.
void InstallTitleCddb(CddbLookup* lookup);
