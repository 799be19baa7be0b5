#pragma once
// A device of its own for a rip or an offset detection, reached through the
// transport the settings choose, apart from playback and title queries.
class CdDevice;
struct PluginSettings;

namespace rip_drive {

void ChooseTransport(CdDevice& device, const PluginSettings& settings);
// What the rip log calls the transport.
const char* TransportName(int kind);

}  // namespace rip_drive
