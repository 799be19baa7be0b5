#include "tests/host/import_redirect.h"

#include <cstring>

namespace import_redirect {

namespace {

template <class T>
T* At(HMODULE module, DWORD rva) {
  return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

bool WriteSlot(void** slot, void* value) {
  DWORD old = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old)) return false;
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
  return true;
}

}  // namespace

bool Redirect(HMODULE module, const char* dll, const char* function, void* replacement, void** original) {
  if (!module || !dll || !function) return false;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const auto* nt = At<const IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return false;
  for (auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(module, dir.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(At<const char>(module, d->Name), dll) != 0) continue;
    // The names live in the original thunks; MinGW images may leave those out
    // and keep the names in the bound ones only before binding.
    const DWORD namesRva = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
    auto* names = At<IMAGE_THUNK_DATA>(module, namesRva);
    auto* slots = At<IMAGE_THUNK_DATA>(module, d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = At<const IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      void** slot = reinterpret_cast<void**>(&slots->u1.Function);
      if (original) *original = *slot;
      return WriteSlot(slot, replacement);
    }
  }
  return false;
}

}  // namespace import_redirect
