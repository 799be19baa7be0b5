#pragma once
// The AccurateRip answers of this session: each disc's dBAR file is fetched
// once, on a thread of its own (the host's thread never waits on the
// network), and kept in memory until the plug-in quits. Rips and the offset
// detection ask for it by the disc's ids and the server.
#include <functional>
#include <string>

#include "accuraterip/dbar_fetch.h"
#include "accuraterip/disc_ids.h"

struct PluginSettings;

namespace rip_verification {

// Starts the disc's fetch unless this session has an answer for it or a
// fetch running (a fetch that failed is started again). Never waits.
void Begin(const accuraterip::DiscIds& ids, const PluginSettings& settings);
// true, with the outcome, once the disc's fetch has ended.
bool Outcome(const accuraterip::DiscIds& ids, const std::string& server, accuraterip::FetchOutcome* outcome);
// Begin, then waits for the fetch to end: its own time-outs bound it, and
// Quit ends it at once.
accuraterip::FetchOutcome Await(const accuraterip::DiscIds& ids, const PluginSettings& settings);
// Called on the fetch's thread whenever a fetch has ended (logs waiting for
// a verdict are written again).
void SetOnEnded(std::function<void()> onEnded);

// Quit: every fetch is aborted and waited for (briefly); the answers kept
// are dropped, and no fetch starts until Reopen.
void EndAll(unsigned waitMs);
void Reopen();

}  // namespace rip_verification
