#pragma once
// The input plug-in's two device objects: the playback reader (only the
// track being played) and the information reader (title and length queries
// for other drives, CDDB), so that a query never disturbs playback.
#include "device/cd_direct_cdda.h"

CDirectCDDA& PlaybackReader();
CDirectCDDA& InfoReader();
