// Playlist entry names of any content: both name forms, every overload, and
// what a recognised name yields.
#include <cstddef>
#include <cstdint>
#include <string>

#include "input/track_name.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The host hands a NUL-terminated text: cut at the first NUL as it would.
  const std::string name(reinterpret_cast<const char*>(data), size);
  const char* text = name.c_str();

  std::string drive;
  int track = -1;
  const int recognised = ParseTrackName(text, &drive, &track);
  if (recognised != 0 && recognised != 1) __builtin_trap();
  if (IsOurFile(text) != recognised) __builtin_trap();

  char letter = 0;
  int again = -1;
  if (ParseTrackName(text, &letter, &again) != recognised) __builtin_trap();
  int only = -1;
  if (ParseTrackName(text, nullptr, &only) != recognised) __builtin_trap();
  if (!recognised) return 0;

  // One ASCII letter taken from the name, and a number that never wrapped.
  const unsigned char c = static_cast<unsigned char>(drive.empty() ? 0 : drive[0]);
  if (drive.size() != 1 || !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) __builtin_trap();
  if (name.find(drive) == std::string::npos) __builtin_trap();
  if (track < 0 || again != track || only != track || letter != drive[0]) __builtin_trap();
  return 0;
}
