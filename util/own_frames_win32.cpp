#include <windows.h>

#include "util/own_frames.h"

namespace own_frames {

bool PinThisLibrary() noexcept {
  HMODULE self = nullptr;
  return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCSTR>(&PinThisLibrary), &self) != FALSE;
}

}  // namespace own_frames
