#include "BrelioApp/EmbeddedFont.h"

#include "BrelioApp/ResourceIds.h"

HRESULT LoadEmbeddedFont(brelio::UniqueFontMemResource& font, HINSTANCE module) {
    font.Reset();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_EMBEDDED_FONT), RT_RCDATA);
    if (found == nullptr) return HRESULT_FROM_WIN32(::GetLastError());
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    DWORD added = 0;
    font.Reset(::AddFontMemResourceEx(data, size, nullptr, &added));
    if (!font) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    return S_OK;
}

void UnloadEmbeddedFont(brelio::UniqueFontMemResource& font) { font.Reset(); }
