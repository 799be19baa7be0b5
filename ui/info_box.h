#pragma once
// The track information box the host opens for one playlist entry.
#include "host_api/win_types.h"

namespace ui {

// Runs the box modally over `parent` for `fileName` (empty: the track that
// is playing). Returns the dialog's end code (1 OK, 2 closed), 0 when it could
// not be shown.
int ShowInfoBox(const char* fileName, HWND parent);

}  // namespace ui
