#include "BrelioApp/PngBitmap.h"

#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>

#include "BrelioCore/JXResource.h"

namespace flat = Gdiplus::DllExports;

HRESULT LoadPngBitmap(HINSTANCE module, UINT id, LPCWSTR type, DWORD background, PngBitmap& png) {
    brelio::ComPtr<IStream> stream = CJXResource::LoadResource(module, id, type);
    if (!stream) return HRESULT_FROM_WIN32(::GetLastError() != 0 ? ::GetLastError() : ERROR_RESOURCE_NAME_NOT_FOUND);

    Gdiplus::GpBitmap* decoded = nullptr;
    if (flat::GdipCreateBitmapFromStream(stream.Get(), &decoded) != Gdiplus::Ok || decoded == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    brelio::UniqueGdiplusImage image(decoded);
    HBITMAP bitmap = nullptr;
    if (flat::GdipCreateHBITMAPFromBitmap(decoded, &bitmap, background) != Gdiplus::Ok || bitmap == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    png.bitmap.Reset(bitmap);
    Gdiplus::PixelFormat format = 0;
    flat::GdipGetImagePixelFormat(decoded, &format);
    png.pixelFormat = format;
    flat::GdipGetImageWidth(decoded, &png.width);
    flat::GdipGetImageHeight(decoded, &png.height);
    return S_OK;
}

UINT ImageListColorFlags(INT pixelFormat) {
    return pixelFormat == PixelFormat24bppRGB ? ILC_COLOR24 : ILC_COLOR32;
}
