#pragma once
// The host's two title questions on top of the resolver: GetFileInfo (title
// and length) and the extended-information export.
#include <cstddef>

#include "input/title_resolver.h"

namespace titles {

// The ANSI answers are the UTF-8 texts in the system's ANSI code page,
// converted last.
//
// Title into `title` (the host's GETFILEINFO_TITLE_LENGTH bytes) and length
// into `lengthMs`, each only when given. Messages for missing drives, discs
// and tracks are shown as the title with a length of 0.
void GetFileInfo(TitleResolver& resolver, const char* file, char* title, int* lengthMs);

// The value of `key` into `value` of `valueLength` bytes, always terminated
// within them and never ending inside a double-byte character; nothing is
// written when the buffer is null or its length is not positive. A null key
// is a key of no value. Returns the resolver's answer.
int GetExtendedFileInfo(TitleResolver& resolver, const char* file, const char* key, char* value, int valueLength);

// The same in UTF-16: `valueLength` units, terminated within them, never
// ending inside a surrogate pair; nothing written when the buffer is null
// or the length is 0.
int GetExtendedFileInfoW(TitleResolver& resolver, const char* file, const char* key, char16_t* value,
                         std::size_t valueLength);

// The plug-in's resolver: both readers, the drive lock, the settings, the
// installed CDDB lookup and the playback engine's state.
TitleResolver& PluginResolver();

}  // namespace titles
