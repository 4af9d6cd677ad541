#include "BrelioCore/JXIcon.h"

bool CJXIcon::Load(HINSTANCE module, UINT id, int size) {
    const int cx = ::GetSystemMetrics(size == Small ? SM_CXSMICON : SM_CXICON);
    const int cy = ::GetSystemMetrics(size == Small ? SM_CYSMICON : SM_CYICON);
    m_icon.Reset(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
    return !IsNull();
}
