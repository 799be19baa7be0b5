#include "device/device_map.h"

#include <cstdio>
#include <string>
#include <vector>

#include "device/aspi_transport.h"
#include "device/cd_device.h"

namespace {

const char kSection[] = "QZ_CDDAPLAYER";

std::int32_t LeadingDecimal(const std::string& field) {
  std::int64_t value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return INT32_MAX;  // an absurd number is not allowed to wrap
  }
  return static_cast<std::int32_t>(value);
}

std::vector<std::string> SplitAtColons(const std::string& value) {
  std::vector<std::string> fields(1);
  for (char c : value) {
    if (c == ':') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace

void LoadDeviceMap(Profile& profile, const char* iniPath, DeviceMap& map) {
  map.clear();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    char key[16];
    std::snprintf(key, sizeof(key), "AspiDevMap_%c", letter);
    const std::string value = profile.GetString(kSection, key, "", iniPath, 1024);
    if (value.empty()) continue;
    const std::vector<std::string> fields = SplitAtColons(value);
    if (fields.size() != 3) continue;
    DeviceMapEntry& entry = map[letter];
    entry.hostAdapter = LeadingDecimal(fields[0]);
    entry.target = LeadingDecimal(fields[1]);
    entry.lun = LeadingDecimal(fields[2]);
  }
}

void InstallDeviceMap(CdDevice& device, const DeviceMap& map) {
  auto* aspi = dynamic_cast<AspiTransport*>(device.Transport());
  if (!aspi) return;
  aspi->ClearDeviceMap();
  for (const auto& entry : map) {
    aspi->SetDeviceMapEntry(entry.first, entry.second.hostAdapter, entry.second.target, entry.second.lun);
  }
}

void ChooseTransport(CdDevice& device, bool useAspi, const DeviceMap& map) {
  if (!useAspi) return;
  device.SetTransport(kTransportAspi);
  if (device.Transport() && device.Transport()->IsAvailable() == 1) {
    InstallDeviceMap(device, map);
  } else {
    device.SetTransport(kTransportSpti);
  }
}
