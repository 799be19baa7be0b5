#pragma once
// The two ways the plug-ins reach a drive, as a test parameter: the ASPI
// layer (Aspi=true and a device map in winamp.ini) and the system's SCSI
// pass-through (no Aspi key: the automatic choice on Windows 10). The same
// virtual drives answer both: vdrive.ini gives each its address and letter.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace transports {

enum class Transport { kAspi, kPassThrough };

inline const auto kBoth = ::testing::Values(Transport::kAspi, Transport::kPassThrough);

inline std::string Name(Transport transport) { return transport == Transport::kAspi ? "Aspi" : "PassThrough"; }
inline void PrintTo(Transport transport, std::ostream* out) { *out << Name(transport); }

inline std::string ParamName(const ::testing::TestParamInfo<Transport>& info) { return Name(info.param); }

// For ::testing::Combine(cases, kBoth): the transport and a running number.
template <class Case>
std::string CombinedName(const ::testing::TestParamInfo<std::tuple<Case, Transport>>& info) {
  return Name(std::get<1>(info.param)) + std::to_string(info.index);
}

// winamp.ini lines that make the plug-ins reach the drives, given as letter
// and ASPI address ("0:0:0"), over `transport`.
inline std::string DriveSettings(Transport transport, const std::vector<std::pair<char, const char*>>& drives) {
  if (transport == Transport::kPassThrough) return "";
  std::string lines = "Aspi=true\r\n";
  for (const auto& [letter, address] : drives) lines += std::string("AspiDevMap_") + letter + "=" + address + "\r\n";
  return lines;
}

}  // namespace transports
