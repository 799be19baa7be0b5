#pragma once
// A stand-in output plug-in: captures every PCM byte written, logs every call
// and reports output/written time as a device consuming at a chosen pace
// (instantly, or in real time like a sound card).
#include <cstdint>
#include <vector>

#include "host_api/out_module.h"
#include "tests/host/call_log.h"

namespace recording_output {

Out_Module* Table();
CallLog& Calls();
std::vector<std::uint8_t> Captured();
void Reset();
// 0 = consume instantly; 1.0 = real time.
void SetPace(double timesRealTime);
// Makes Open fail (returns -1) to exercise the plug-in's error path.
void SetOpenFails(bool fails);

}  // namespace recording_output
