#pragma once
// Telling the user about a save that failed at quit, without holding quit
// up: the text is kept where the settings folder is not needed (the user's
// registry on Windows) and shown once at the next start.
#include <string>

#include "host_api/win_types.h"
#include "util/plugin_thread.h"

namespace save_notice {

// Why a file could not be written, as far as the file system tells.
enum Reason {
  kReasonUnknown,
  kReasonNoFolder,   // the folder is gone
  kReasonIsFolder,   // a folder has the file's name
  kReasonReadOnly,   // the file is marked read-only
  kReasonDiskFull,   // no room left on the drive
  kReasonDenied,     // the folder or file may not be written
};

// The system's last error code of this thread (0 elsewhere).
unsigned long LastError();
// Looks at `path` after writing it failed with `lastError`.
Reason WhyNotWritten(const std::string& path, unsigned long lastError);

// `pattern` with %1 replaced by the path and %2 by the reason, all UTF-8
// (a path from the file functions goes through codepage::AnsiToUtf8 first).
std::string Compose(const std::string& pattern, const std::string& path, const std::string& reason);

// Keeps `text` (UTF-8) under `name` for the next start (appended to a text kept
// there already); false when even that could not be written.
bool Record(const char* name, const std::string& text);
// The text kept under `name`, forgotten as it is read ("" when none).
std::string Take(const char* name);

// Shows the box (error icon) on a thread of its own, so that the caller
// (the host's start-up) goes on at once; msgbox::CloseAbortable ends it.
// nullptr when nothing is shown.
plugin_thread::Handle ShowLater(HWND owner, const std::string& text, const std::string& caption);

}  // namespace save_notice
