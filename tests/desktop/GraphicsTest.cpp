#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include "BrelioApp/PngBitmap.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioCore/JXGraphics.h"
#include "BrelioCore/JXIcon.h"
#include "BrelioCore/JXResource.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Module.h"

namespace {

// A 64x64 32-bit memory canvas for drawing and reading back.
class CCanvas {
public:
    CCanvas() {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, -64, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        m_bitmap.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_dc.Reset(::CreateCompatibleDC(nullptr));
        m_old = ::SelectObject(m_dc.Get(), m_bitmap.Get());
    }
    ~CCanvas() { ::SelectObject(m_dc.Get(), m_old); }
    HDC DC() const { return m_dc.Get(); }
    COLORREF At(int x, int y) const { return ::GetPixel(m_dc.Get(), x, y); }

private:
    brelio::UniqueBitmap m_bitmap;
    brelio::UniqueMemoryDC m_dc;
    HGDIOBJ m_old = nullptr;
};

}  // namespace

TEST(JXGraphics, FillsDrawsAndPutsTheDcBack) {
    CCanvas canvas;
    const COLORREF oldText = ::GetTextColor(canvas.DC());
    const HGDIOBJ oldFont = ::GetCurrentObject(canvas.DC(), OBJ_FONT);
    {
        CJXGraphics graphics(canvas.DC());
        graphics.FillRectangle(RECT{0, 0, 64, 64}, RGB(255, 255, 255));
        graphics.FillRectangle(RECT{10, 10, 20, 11}, RGB(0xE1, 0xDB, 0xD6));
        graphics.SelectFont(static_cast<HFONT>(::GetStockObject(SYSTEM_FONT)));
        graphics.SetTextColor(RGB(0x33, 0x33, 0x33));
        graphics.DrawString(L"W", 30, 30);
    }
    EXPECT_EQ(canvas.At(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(10, 10), RGB(0xE1, 0xDB, 0xD6));
    EXPECT_EQ(canvas.At(10, 11), RGB(255, 255, 255)) << "a one-pixel line";
    bool inked = false;
    for (int y = 30; y < 50; ++y) {
        for (int x = 30; x < 50; ++x) inked = inked || canvas.At(x, y) == RGB(0x33, 0x33, 0x33);
    }
    EXPECT_TRUE(inked);
    EXPECT_EQ(::GetTextColor(canvas.DC()), oldText);
    EXPECT_EQ(::GetCurrentObject(canvas.DC(), OBJ_FONT), oldFont);
}

TEST(JXGraphics, DrawsABitmapAtItsOwnSize) {
    PngBitmap logo;
    ASSERT_EQ(LoadPngBitmap(ATL::GetModuleInstance(), IDP_FILE_PDF, L"PNG", 0xFFFFFFFF, logo), S_OK);
    EXPECT_EQ(logo.width, 32u);
    CCanvas canvas;
    CJXGraphics graphics(canvas.DC());
    graphics.FillRectangle(RECT{0, 0, 64, 64}, RGB(0, 0, 255));
    EXPECT_TRUE(graphics.DrawBitmap(logo.bitmap.Get(), 8, 8));
    EXPECT_FALSE(graphics.DrawBitmap(nullptr, 0, 0));
    EXPECT_EQ(canvas.At(8 + 4, 8 + 18), RGB(214, 52, 44)) << "the PDF band";
    EXPECT_EQ(canvas.At(40, 40), RGB(0, 0, 255)) << "nothing beyond the bitmap's own size";
}

TEST(JXResource, StreamOverAResourceOrNothingWithTheReason) {
    brelio::ComPtr<IStream> stream = CJXResource::LoadResource(ATL::GetModuleInstance(), IDP_LOGO, L"PNG");
    ASSERT_TRUE(stream);
    unsigned char signature[8] = {};
    ULONG read = 0;
    ASSERT_EQ(stream->Read(signature, sizeof(signature), &read), S_OK);
    EXPECT_EQ(read, 8u);
    EXPECT_EQ(signature[1], 'P');

    ::SetLastError(0);
    EXPECT_FALSE(CJXResource::LoadResource(ATL::GetModuleInstance(), 9999, L"PNG"));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    PngBitmap missing;
    EXPECT_TRUE(FAILED(LoadPngBitmap(ATL::GetModuleInstance(), 9999, L"PNG", 0, missing)));
    EXPECT_FALSE(missing.bitmap);
}

TEST(JXIcon, LoadsTheProgramIconInBothSizes) {
    struct Case {
        int size;
        int metric;
    };
    for (const Case c : {Case{CJXIcon::Small, SM_CXSMICON}, Case{CJXIcon::Large, SM_CXICON}}) {
        CJXIcon icon;
        EXPECT_TRUE(icon.IsNull());
        ASSERT_TRUE(icon.Load(ATL::GetModuleInstance(), IDI_PROGRAM, c.size));
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon, &info));
        brelio::UniqueBitmap colour(info.hbmColor);
        brelio::UniqueBitmap mask(info.hbmMask);
        BITMAP bitmap = {};
        ::GetObjectW(colour ? colour.Get() : mask.Get(), sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, ::GetSystemMetrics(c.metric));
    }
    CJXIcon missing;
    EXPECT_FALSE(missing.Load(ATL::GetModuleInstance(), 9999, CJXIcon::Small));
    EXPECT_TRUE(missing.IsNull());
}
