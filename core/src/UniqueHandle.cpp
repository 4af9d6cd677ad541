#include "BrelioCore/UniqueHandle.h"

#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <winhttp.h>

#include <gdiplus.h>

namespace brelio {

void WinHttpHandleTraits::Close(Handle h) noexcept { ::WinHttpCloseHandle(h); }

void ImageListTraits::Close(Handle h) noexcept { ::ImageList_Destroy(h); }

void GdiplusImageTraits::Close(Handle h) noexcept { Gdiplus::DllExports::GdipDisposeImage(h); }

void BstrTraits::Close(Handle h) noexcept { ::SysFreeString(h); }

void FreeCoTaskMem(void* memory) noexcept { ::CoTaskMemFree(memory); }

ComInitScope::ComInitScope() noexcept : ComInitScope(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) {}

ComInitScope::ComInitScope(DWORD flags) noexcept : m_result(::CoInitializeEx(nullptr, flags)) {}

ComInitScope::~ComInitScope() {
    if (SUCCEEDED(m_result)) ::CoUninitialize();
}

}  // namespace brelio
