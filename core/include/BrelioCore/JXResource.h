#pragma once
#include <windows.h>
#include <objidl.h>

#include "BrelioCore/ComPtr.h"

// Resources of a module as the drawing code needs them.
class CJXResource {
public:
    // A read-only stream over a copy of resource `id` of the given type
    // (such as "PNG"). Empty when the module has no such resource, with the
    // thread's last error telling why.
    static brelio::ComPtr<IStream> LoadResource(HINSTANCE module, UINT id, LPCWSTR type);
};
