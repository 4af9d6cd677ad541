#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "BrelioApp/EmbeddedFont.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Module.h"

namespace {

// The face the system really gives for a font of the family. Each call
// asks another height: Wine keeps fonts it made for a description and would
// hand back the one made before the family was added.
std::wstring FaceMadeFor(const wchar_t* family) {
    static LONG height = 12;
    LOGFONTW description = {};
    description.lfHeight = -(++height);
    description.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(description.lfFaceName, family, LF_FACESIZE);
    brelio::UniqueFont font(::CreateFontIndirectW(&description));
    brelio::UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const HGDIOBJ old = ::SelectObject(dc.Get(), font.Get());
    wchar_t face[LF_FACESIZE] = L"";
    ::GetTextFaceW(dc.Get(), LF_FACESIZE, face);
    ::SelectObject(dc.Get(), old);
    return face;
}

// Wine's RemoveFontMemResourceEx does nothing: a memory font stays until
// the process ends there, so only Windows can show it gone.
bool RemovesMemoryFonts() { return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr; }

}  // namespace

TEST(EmbeddedFont, FamilyExistsOnlyWhileLoaded) {
    ASSERT_NE(FaceMadeFor(kEmbeddedFontFamily), kEmbeddedFontFamily) << "the family is not installed";

    brelio::UniqueFontMemResource font;
    ASSERT_EQ(LoadEmbeddedFont(font, ATL::GetModuleInstance()), S_OK);
    EXPECT_TRUE(font);
    EXPECT_EQ(FaceMadeFor(kEmbeddedFontFamily), kEmbeddedFontFamily);

    UnloadEmbeddedFont(font);
    EXPECT_FALSE(font);
    if (RemovesMemoryFonts()) {
        EXPECT_NE(FaceMadeFor(kEmbeddedFontFamily), kEmbeddedFontFamily);
    }
    UnloadEmbeddedFont(font);  // a second unload does nothing
    EXPECT_FALSE(font);
}

TEST(EmbeddedFont, ModuleWithoutTheFontIsAClearFailure) {
    brelio::UniqueFontMemResource font;
    const HRESULT hr = LoadEmbeddedFont(font, ::GetModuleHandleW(L"kernel32.dll"));
    EXPECT_TRUE(hr == HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND) ||
                hr == HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND))
        << std::hex << hr;
    EXPECT_FALSE(font);
}

TEST(EmbeddedFont, DataThatIsNoFontIsAClearFailure) {
    brelio::UniqueModule broken(::LoadLibraryExW(L"desktop_broken_font.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(broken);
    brelio::UniqueFontMemResource font;
    EXPECT_EQ(LoadEmbeddedFont(font, broken.Get()), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    EXPECT_FALSE(font);
}
