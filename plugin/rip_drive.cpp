#include "plugin/rip_drive.h"

#include "device/cd_device.h"
#include "device/device_map.h"
#include "input/plugin_paths.h"
#include "input/plugin_settings.h"
#include "util/profile.h"

namespace rip_drive {

void ChooseTransport(CdDevice& device, const PluginSettings& settings) {
  if (settings.aspi) {
    DeviceMap map;
    LoadDeviceMap(SystemProfile(), plugin::SettingsSourcePath().c_str(), map);
    ::ChooseTransport(device, true, map);
  } else {
    device.SetTransport(kTransportAuto);
  }
}

const char* TransportName(int kind) {
  switch (kind) {
    case kTransportSpti:
      return "SPTI";
    case kTransportAspi:
      return "ASPI";
    default:
      return "-";
  }
}

}  // namespace rip_drive
