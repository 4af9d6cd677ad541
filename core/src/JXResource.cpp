#include "BrelioCore/JXResource.h"

#include <shlwapi.h>

brelio::ComPtr<IStream> CJXResource::LoadResource(HINSTANCE module, UINT id, LPCWSTR type) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) {
        ::SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return {};
    }
    IStream* stream = ::SHCreateMemStream(static_cast<const BYTE*>(data), size);
    if (stream == nullptr) ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return brelio::ComPtr<IStream>::Attach(stream);
}
