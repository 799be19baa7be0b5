#pragma once
// The ASPI device map: which host adapter, target and LUN belong to each
// drive letter, as the user writes it into winamp.ini ("AspiDevMap_D=1:0:0").
#include <cstdint>
#include <map>

#include "util/profile.h"

class CdDevice;

struct DeviceMapEntry {
  std::int32_t hostAdapter = 0;
  std::int32_t target = 0;
  std::int32_t lun = 0;
};

using DeviceMap = std::map<char, DeviceMapEntry>;  // upper-case letter -> address

// Reads the keys AspiDevMap_A .. AspiDevMap_Z of section QZ_CDDAPLAYER.
// A value counts only with exactly three colon-separated fields; each field
// is its leading decimal digits (0 when none).
void LoadDeviceMap(Profile& profile, const char* iniPath, DeviceMap& map);

// Copies the map into the device's ASPI transport (nothing for any other).
void InstallDeviceMap(CdDevice& device, const DeviceMap& map);

// The start-up transport choice of one device object: with `useAspi`, ASPI
// with the map when the ASPI layer is available, else SPTI; without it the
// device's automatic choice stays.
void ChooseTransport(CdDevice& device, bool useAspi, const DeviceMap& map);
