#pragma once
#include <windows.h>

#include "BrelioCore/UniqueHandle.h"

// The program's UI font family "VelmotGothic", carried as resource
// RT_RCDATA 4 and made available to this process only.
inline constexpr wchar_t kEmbeddedFontFamily[] = L"VelmotGothic";

// Adds the font from `module` and keeps its handle in `font` (replacing a
// font loaded before). A missing resource gives its Windows error as an
// HRESULT; data the system does not take as a font gives
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA). On failure `font` stays empty.
[[nodiscard]] HRESULT LoadEmbeddedFont(brelio::UniqueFontMemResource& font, HINSTANCE module);
// Removes the font when loaded; a second call does nothing.
void UnloadEmbeddedFont(brelio::UniqueFontMemResource& font);
