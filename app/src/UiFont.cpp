#include "BrelioApp/UiFont.h"

#include <cwchar>

#include "BrelioApp/EmbeddedFont.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioFramework/Module.h"

brelio::UniqueFont CreateUiPointFont(HDC dc, int tenthsOfPoint, LONG weight) {
    LOGFONTW font = {};
    wcsncpy(font.lfFaceName, kEmbeddedFontFamily, LF_FACESIZE - 1);
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    const int dpi = dc != nullptr ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
    font.lfHeight = -::MulDiv(tenthsOfPoint, dpi, 720);
    return brelio::UniqueFont(::CreateFontIndirectW(&font));
}

HICON LoadProgramIcon(bool small) {
    const int cx = ::GetSystemMetrics(small ? SM_CXSMICON : SM_CXICON);
    const int cy = ::GetSystemMetrics(small ? SM_CYSMICON : SM_CYICON);
    return static_cast<HICON>(::LoadImageW(ATL::GetModuleInstance(), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, cx,
                                           cy, LR_SHARED));
}
