#pragma once
// Title formats ("%1 - %2") and the metadata values of the host's
// extended-information keys.
#include <cstddef>
#include <string>

#include "input/track_description.h"

// Longest expansion, in bytes of UTF-8.
constexpr std::size_t kMaxExpandedTitle = 4095;

// The UTF-8 format with its codes replaced by UTF-8 texts: %1 track title, %2 track performer,
// %3 songwriter, %4 composer, %5 arranger, %6 track number, %7 the drive
// letter as written, %8 disc title, %% a percent sign. A "%" before any other
// character drops both; a "%" at the end drops itself. The result is at most
// kMaxExpandedTitle bytes and never ends inside a character.
std::string ExpandTitle(char driveLetter, int track, const std::string& format, const TrackDescription& record);

// ExpandTitle into record.text.
void Expand(char driveLetter, int track, const std::string& format, TrackDescription& record);

// The value of one metadata key (compared ignoring case) into record.text:
// TYPE, LENGTH, ARTIST, TITLE, ALBUM, TRACKNO. 1 when answered; ARTIST,
// TITLE and ALBUM answer only when the track or the disc has a name. An
// unknown or null key answers 0 with an empty text.
int Produce(const char* key, int track, TrackDescription& record);

// ASCII letters folded; everything else compared as is (no byte of a
// multi-byte UTF-8 character equals an ASCII letter).
bool EqualsIgnoringCase(const char* a, const char* b);
