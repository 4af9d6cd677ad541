#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// An icon resource loaded at the system's small or large icon size; the
// icon is destroyed with the object.
class CJXIcon {
public:
    enum Size { Small = 0, Large = 1 };

    // Replaces a previously loaded icon; false (icon left empty, last error
    // set) when the module has no such icon.
    bool Load(HINSTANCE module, UINT id, int size);
    bool IsNull() const { return !m_icon; }
    operator HICON() const { return m_icon.Get(); }

private:
    brelio::UniqueIcon m_icon;
};
