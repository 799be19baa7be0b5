#pragma once
// The replacement ASPI layer (wnaspi32.dll beside the test programs) as the
// integration tests drive it: configuration file, control exports and
// generated discs.
#include <windows.h>

#include <string>

#include "tests/host/test_host.h"
#include "tests/integration/ini_file.h"
#include "tools/discgen/disc_generator.h"

namespace virtual_aspi {

inline HMODULE Library() {
  static HMODULE lib = LoadLibraryA((TestHost::ProgramDirectory() + "\\wnaspi32.dll").c_str());
  return lib;
}

template <class Fn>
Fn Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(Library(), name)));
}

// Loads the given vdrive.ini text (written beside the programs) into the
// layer; the number of drives, or -1.
inline int Configure(const std::string& iniText) {
  const std::string path = TestHost::ProgramDirectory() + "\\vdrive.ini";
  ini_file::Write(path, iniText);
  auto load = Export<int (*)(const char*)>("VDriveLoadConfig");
  return load ? load(path.c_str()) : -1;
}

inline unsigned CommandCount(int ha, int target, int lun, int opcode) {
  auto count = Export<unsigned (*)(int, int, int, int)>("VDriveCommandCount");
  return count ? count(ha, target, lun, opcode) : 0xFFFFFFFFu;
}

inline int Eject(int ha, int target, int lun) {
  auto eject = Export<int (*)(int, int, int)>("VDriveEject");
  return eject ? eject(ha, target, lun) : -1;
}

inline int InjectFault(int ha, int target, int lun, const char* commands) {
  auto inject = Export<int (*)(int, int, int, const char*)>("VDriveInjectFault");
  return inject ? inject(ha, target, lun, commands) : -1;
}

// Writes a disc into discs\<name> beside the programs; the cue path relative
// to the programs' folder.
inline std::string MakeDisc(discgen::DiscOptions options, const std::string& name) {
  options.name = name;
  const std::string dir = TestHost::ProgramDirectory() + "\\discs";
  CreateDirectoryA(dir.c_str(), nullptr);
  std::string cue, error;
  if (discgen::GenerateDisc(options, dir, &cue, &error) != 0) return std::string();
  return "discs\\" + name + ".cue";
}

}  // namespace virtual_aspi
