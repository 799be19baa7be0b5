#pragma once
// Rewrites one entry of a loaded module's import table, so that the test host
// can stand between a plug-in DLL and a system function (a drive's device
// path, a name lookup that never answers) without touching anybody else's
// calls. Works on 32- and 64-bit images alike.
#include <windows.h>

namespace import_redirect {

// Points `module`'s import of `function` from `dll` (compared ignoring case)
// at `replacement`. The previous target is stored in *original when given.
// Returns false when the module does not import that function by name.
bool Redirect(HMODULE module, const char* dll, const char* function, void* replacement, void** original = nullptr);

}  // namespace import_redirect
