#pragma once
// What every slot of the input plug-in shares with its start-up: the version,
// the drive lock and the initialisation gate with its waiting rule.
#include <cstdint>

#include "util/critical_section.h"

namespace plugin {

constexpr const char kVersion[] = "0.26";
constexpr const char kVersionSuffix[] = " Ver.0.26";
constexpr const char kDriveLockName[] = "WINAMP_INQUORVODLL_DRIVER_CRITICALSECTION";

// The waiting rule: blocks until the background initialisation has signalled
// completion, answering sent messages; after the first successful wait it
// returns at once. False when it gave up after a long bound (the
// initialisation still runs): a slot that needs drives or tables then fails.
bool WaitForInitialisation();
// The initialisation wait's bound.
constexpr std::uint32_t kInitWaitLimitMs = 60000;

// Serialises drive access of every instance of the plug-in, across processes.
CCriticalSection& DriveLock();

// The gate itself, for Init and the initialisation. Reopen closes the last
// one and makes a new, unsignalled one: false when the system refused the
// event (the initialisation then runs on Init's own thread).
bool ReopenInitialisationGate();
void SignalInitialisationDone();
// Done, as far as can be told without waiting.
bool InitialisationComplete();

}  // namespace plugin
