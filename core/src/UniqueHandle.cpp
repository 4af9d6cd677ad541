#include "BrelioCore/UniqueHandle.h"

#include <commctrl.h>
#include <oleauto.h>
#include <winhttp.h>

#include <gdiplus.h>

namespace brelio {

void WinHttpHandleTraits::Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }

void ImageListTraits::Close(Handle h) noexcept { ::ImageList_Destroy(h); }

void GdiplusImageTraits::Close(Handle h) noexcept { Gdiplus::DllExports::GdipDisposeImage(h); }

void BstrTraits::Close(Handle h) noexcept { ::SysFreeString(h); }

}  // namespace brelio
