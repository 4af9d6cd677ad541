#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// A PNG resource of a module decoded with GDI+ (which the program starts)
// into a bitmap, transparent parts laid on `background` (0xAARRGGBB).
struct PngBitmap {
    brelio::UniqueBitmap bitmap;
    UINT width = 0;
    UINT height = 0;
    INT pixelFormat = 0;  // GDI+ pixel format of the decoded image
};

// S_OK with the bitmap filled; a failure when the resource is missing or
// cannot be decoded (nothing is raised, nothing is left allocated).
[[nodiscard]] HRESULT LoadPngBitmap(HINSTANCE module, UINT id, LPCWSTR type, DWORD background, PngBitmap& png);

// ILC_COLOR24 for 24-bit RGB images, ILC_COLOR32 for any other.
UINT ImageListColorFlags(INT pixelFormat);
