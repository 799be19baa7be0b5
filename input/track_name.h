#pragma once
// Playlist entry names of CD tracks: "cda://X,N" and "X:\TrackNN.cda".
#include <cstddef>
#include <string>

// 1 when the name is a CD track name, 0 otherwise. The drive-letter text
// (one letter, in the case written) and the track number are stored only
// into the outs that are given.
int ParseTrackName(const char* name, std::string* drive, int* track);

// The same, with the drive letter as a single character.
int ParseTrackName(const char* name, char* driveLetter, int* track);

// Only the track number (a plain nullptr would fit both forms above).
inline int ParseTrackName(const char* name, std::nullptr_t, int* track) {
  return ParseTrackName(name, static_cast<std::string*>(nullptr), track);
}

// The host's IsOurFile question; never touches a drive.
int IsOurFile(const char* name);
