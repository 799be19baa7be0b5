#pragma once
// The host's extended read: a converter or CD ripper opens a track by its
// playlist name and pulls its samples at the drive's full speed. Each open
// rip has a device and transport of its own, apart from playback and title
// queries; all of them share the drive lock per command batch.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/disc_toc.h"

namespace rip_handles {

// A handle (never 0, never reused), or 0 when the name is no audio track of
// a disc in a known drive; then nothing is written.
std::intptr_t Open(const char* fileName, int* size, int* bps, int* nch, int* srate);
// Bytes written, fewer than len only at the track's end, 0 after it; -1 when
// the drive is gone, the handle unknown or the plug-in quitting.
std::intptr_t GetData(std::intptr_t handle, char* dest, std::size_t len, int* killswitch);
int SetTime(std::intptr_t handle, int millisecs);  // 1 ok, 0 not
// A track read whole goes into its disc's log.
void Close(std::intptr_t handle);

// Quit: every rip still open ends (a call inside returns -1 promptly), and
// their transports are released once no call is inside any more, waiting at
// most waitMs for that. Rips opened afterwards are refused until Reopen.
void EndAll(std::uint32_t waitMs);
// The latest AccurateRip verdict of this session for the track `fileName`
// names, whose table entry is `entry` (so a disc changed since does not
// answer): the rip log's text, empty when the track was not verified.
std::string LatestVerification(const std::string& fileName, const TrackEntry& entry);
void Reopen();

}  // namespace rip_handles
