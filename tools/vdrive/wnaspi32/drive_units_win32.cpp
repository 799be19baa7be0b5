#include "tools/vdrive/wnaspi32/drive_units_win32.h"

#include <windows.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "tools/vdrive/drive_config.h"

namespace drive_units {

namespace {

std::mutex g_lock;
bool g_loaded = false;
std::string g_configDir;  // relative cue paths start here
std::string g_lastError;
std::vector<Unit> g_units;

std::string ModuleDir() {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ModuleDir), &self);
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
  std::string p(path, n);
  const std::size_t slash = p.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

std::string Resolve(const std::string& path) {
  if (path.size() > 1 && (path[1] == ':' || path[0] == '\\' || path[0] == '/')) return path;
  return g_configDir + path;
}

// Caller holds g_lock. A missing file means no drives; a malformed one too,
// with the reason kept for VDriveLastError.
int LoadConfigLocked(const std::string& iniPath) {
  g_units.clear();
  ForgetPendingAspiRequests();
  g_loaded = true;
  g_lastError.clear();
  const std::size_t slash = iniPath.find_last_of("\\/");
  g_configDir = slash == std::string::npos ? std::string() : iniPath.substr(0, slash + 1);
  HANDLE f = CreateFileA(iniPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  std::string text;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0 && text.size() < (1u << 20)) text.append(buf, got);
  CloseHandle(f);
  std::vector<vdrive::DriveConfig> configs;
  if (vdrive::ParseDriveConfig(text, &configs, &g_lastError) != 0) return -1;
  int result = 0;
  for (const vdrive::DriveConfig& c : configs) {
    auto drive = std::make_shared<vdrive::VirtualDrive>(c.identity);
    std::string error;
    if (!c.cue.empty() && drive->InsertCue(Resolve(c.cue), &error) != 0) {
      g_lastError = error;
      result = -1;
    }
    if (!c.behaviour.empty() && vdrive::ApplyBehaviour(*drive, c.behaviour, &error) != 0) {
      g_lastError = error;
      result = -1;
    }
    g_units.push_back(Unit{c.hostAdapter, c.target, c.lun, c.letter, drive});
  }
  return result;
}

void EnsureLoaded() {
  if (g_loaded) return;
  char env[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QUORVO_VDRIVE_INI", env, MAX_PATH);
  LoadConfigLocked(n > 0 && n < MAX_PATH ? std::string(env, n) : ModuleDir() + "vdrive.ini");
}

template <class Match>
bool FindWhere(Match match, Unit* out) {
  std::lock_guard<std::mutex> g(g_lock);
  EnsureLoaded();
  for (const Unit& u : g_units) {
    if (!match(u)) continue;
    if (out) *out = u;
    return true;
  }
  return false;
}

std::shared_ptr<vdrive::VirtualDrive> Find(int ha, int target, int lun) {
  Unit unit;
  return FindByAddress(ha, target, lun, &unit) ? unit.drive : nullptr;
}

}  // namespace

int AdapterCount() {
  std::lock_guard<std::mutex> g(g_lock);
  EnsureLoaded();
  int count = 0;
  for (const Unit& u : g_units) count = u.ha + 1 > count ? u.ha + 1 : count;
  return count;
}

bool FindByAddress(int ha, int target, int lun, Unit* out) {
  return FindWhere([&](const Unit& u) { return u.ha == ha && u.target == target && u.lun == lun; }, out);
}

bool FindByLetter(char letter, Unit* out) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  return upper >= 'A' && upper <= 'Z' && FindWhere([&](const Unit& u) { return u.letter == upper; }, out);
}

}  // namespace drive_units

// The exports below are the library's C interface to the same drives.
using namespace drive_units;

extern "C" {

// Loads a configuration file (NULL: vdrive.ini beside this library, or the
// file named by QUORVO_VDRIVE_INI). Returns the number of drives, -1 when the
// file had errors (VDriveLastError tells which; good sections still load).
int VDriveLoadConfig(const char* iniPath) {
  std::lock_guard<std::mutex> g(g_lock);
  g_loaded = false;
  if (iniPath == nullptr) {
    EnsureLoaded();
    return g_lastError.empty() ? static_cast<int>(g_units.size()) : -1;
  }
  return LoadConfigLocked(iniPath) == 0 ? static_cast<int>(g_units.size()) : -1;
}

// Back to the configuration as loaded: discs, behaviours, counters.
int VDriveReset() { return VDriveLoadConfig(nullptr); }

int VDriveEject(int ha, int target, int lun) {
  const auto drive = Find(ha, target, lun);
  if (!drive) return -1;
  drive->Eject();
  return 0;
}

// Puts a disc in; an address without a drive gets a new one.
int VDriveInsert(int ha, int target, int lun, const char* cuePath) {
  if (cuePath == nullptr || ha < 0 || ha > 7 || target < 0 || target > 15 || lun < 0 || lun > 7) return -1;
  std::shared_ptr<vdrive::VirtualDrive> drive;
  std::string path;
  {
    std::lock_guard<std::mutex> g(g_lock);
    EnsureLoaded();
    for (const Unit& u : g_units)
      if (u.ha == ha && u.target == target && u.lun == lun) drive = u.drive;
    if (!drive) {
      drive = std::make_shared<vdrive::VirtualDrive>();
      g_units.push_back(Unit{ha, target, lun, 0, drive});
    }
    path = Resolve(cuePath);
  }
  std::string error;
  if (drive->InsertCue(path, &error) != 0) {
    std::lock_guard<std::mutex> g(g_lock);
    g_lastError = error;
    return -1;
  }
  return 0;
}

int VDriveInjectFault(int ha, int target, int lun, const char* commands) {
  const auto drive = Find(ha, target, lun);
  if (!drive || commands == nullptr) return -1;
  std::string error;
  if (vdrive::ApplyBehaviour(*drive, commands, &error) != 0) {
    std::lock_guard<std::mutex> g(g_lock);
    g_lastError = error;
    return -1;
  }
  return 0;
}

// Commands received by a drive, per opcode (-1: all); 0 for an unknown address.
unsigned VDriveCommandCount(int ha, int target, int lun, int opcode) {
  const auto drive = Find(ha, target, lun);
  return drive ? drive->CommandCount(opcode) : 0;
}

// Copies the last configuration or control error; returns its length.
int VDriveLastError(char* buffer, int size) {
  std::lock_guard<std::mutex> g(g_lock);
  const std::string& error = g_lastError;
  if (buffer && size > 0) {
    const std::size_t n =
        error.size() < static_cast<std::size_t>(size - 1) ? error.size() : static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, error.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<int>(error.size());
}

}  // extern "C"
