#pragma once
#include <windows.h>

namespace ATL {

// Registers the type library stored in a module (resource TYPELIB 1), for
// all users or, through RegisterTypeLibForUser, for the current user only.
HRESULT RegisterModuleTypeLib(HINSTANCE module, bool perUser);
HRESULT UnregisterModuleTypeLib(HINSTANCE module, bool perUser);

}  // namespace ATL
