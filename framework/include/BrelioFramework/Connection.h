#pragma once
#include <windows.h>
#include <ocidl.h>

namespace ATL {

// Connects a sink to an object's connection point for one outgoing
// interface; the cookie identifies the connection for AtlUnadvise.
HRESULT AtlAdvise(IUnknown* source, IUnknown* sink, REFIID iid, DWORD* cookie);
HRESULT AtlUnadvise(IUnknown* source, REFIID iid, DWORD cookie);

}  // namespace ATL
