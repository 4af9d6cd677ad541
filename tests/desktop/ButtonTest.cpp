#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "BrelioApp/CustomUI.h"
#include "BrelioApp/JXButton.h"
#include "BrelioApp/ResourceIds.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioFramework/Module.h"
#include "BrelioFramework/WindowImpl.h"
#include "WindowPixels.h"

namespace {

constexpr COLORREF kNormal = RGB(200, 40, 40);
constexpr COLORREF kHot = RGB(40, 170, 40);
constexpr COLORREF kDisabled = RGB(40, 40, 200);

// A window that owns self-drawn buttons, as the program's windows do.
class CButtonHost : public ATL::CWindowImpl<CButtonHost, ATL::CWindow, ATL::CWinTraits<WS_POPUP | WS_VISIBLE, 0>>,
                    public CJXCustomUIHandler {
public:
    DECLARE_WND_CLASS(L"BrelioTest.ButtonHost")
    BEGIN_MSG_MAP(CButtonHost)
        CHAIN_MSG_MAP(CJXCustomUIHandler)
    END_MSG_MAP()

    ~CButtonHost() override {
        if (m_hWnd != nullptr) DestroyWindow();
    }
};

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rect = {40, 40, 340, 140};
        ASSERT_NE(host.Create(nullptr, rect, L"buttons"), nullptr);
        host.AddControl(&button);
        ASSERT_NE(button.Create(host, RECT{10, 10, 110, 50}, L"", 1), nullptr);
        button.SetColors(kNormal, kHot, kDisabled);
        ASSERT_NE(stranger.Create(host, RECT{150, 10, 250, 50}, L"", 2), nullptr);
        stranger.SetColors(kNormal, kHot, kDisabled);  // but never registered
    }

    // The colour at a point inside the button, away from the caption.
    COLORREF ButtonPixel(const CJXButton& which) {
        brelio::test::CWindowPixels pixels;
        EXPECT_TRUE(pixels.Capture(which.m_hWnd));
        return pixels.At(4, 4);
    }

    CButtonHost host;
    CJXImageButton button;
    CJXImageButton stranger;
};

}  // namespace

TEST_F(ButtonTest, EachStatePaintsItsOwnColour) {
    EXPECT_EQ(ButtonPixel(button), kNormal);

    button.SetState(TRUE);  // pressed, the mouse elsewhere: no look of its own
    EXPECT_EQ(ButtonPixel(button), kNormal);
    button.SetState(FALSE);

    // The mouse over the button makes it hot: it moves there and, a moment
    // later, the button's mouse tracking reports it hovering.
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    button.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(ButtonPixel(button), kHot);
    button.SetState(TRUE);  // pressed under the mouse stays hot
    EXPECT_EQ(ButtonPixel(button), kHot);
    button.SetState(FALSE);
    brelio::test::SaveWindowShot(host, L"button-hot");

    button.EnableWindow(FALSE);  // disabled wins, also under the mouse
    EXPECT_EQ(ButtonPixel(button), kDisabled);
    brelio::test::SaveWindowShot(host, L"button-disabled");
}

TEST_F(ButtonTest, OnlyRegisteredControlsAreDrawnByTheirHandler) {
    const COLORREF painted = ButtonPixel(stranger);
    EXPECT_NE(painted, kNormal) << "an unregistered button gets the system's own drawing";
    EXPECT_EQ(ButtonPixel(button), kNormal);
}

TEST_F(ButtonTest, OutlineInTheBorderColourAroundTheStateColour) {
    const COLORREF border = RGB(10, 10, 10);
    button.SetBorderColor(border);
    brelio::test::CWindowPixels pixels;
    ASSERT_TRUE(pixels.Capture(button));
    EXPECT_EQ(pixels.At(0, 0), border);
    EXPECT_EQ(pixels.At(pixels.Width() - 1, pixels.Height() - 1), border);
    EXPECT_EQ(pixels.At(1, 1), kNormal);
}

namespace {

// Draws the button into a memory bitmap in one state and returns the
// colour where the image's coloured band lies.
COLORREF DrawnImageBand(CJXImageButton& button, UINT itemState) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 48, -48, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    brelio::UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    brelio::UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const HGDIOBJ old = ::SelectObject(dc.Get(), bitmap.Get());
    const RECT rect = {0, 0, 48, 48};
    EXPECT_EQ(button.Draw(dc.Get(), &rect, itemState), CDRF_SKIPDEFAULT);
    // The 32x32 image is centred at (8, 8); its band runs across y 14..24.
    const COLORREF colour = ::GetPixel(dc.Get(), 8 + 4, 8 + 18);
    ::SelectObject(dc.Get(), old);
    return colour;
}

COLORREF ImageBand(UINT resourceId) {
    CJXImageButton probe;
    probe.LoadImages(ATL::GetModuleInstance(), resourceId, L"PNG");
    return DrawnImageBand(probe, 0);
}

}  // namespace

TEST(ImageButton, ImageForEachStateFollowsHowManyImagesItHas) {
    const COLORREF folder = ImageBand(IDP_FILE_FOLDER);
    const COLORREF pdf = ImageBand(IDP_FILE_PDF);
    const COLORREF text = ImageBand(IDP_FILE_TEXT);
    ASSERT_NE(folder, pdf);
    ASSERT_NE(pdf, text);

    struct Case {
        std::vector<UINT> ids;
        UINT state;
        COLORREF expected;
    };
    const Case cases[] = {
        {{IDP_FILE_FOLDER}, CDIS_HOT, folder},
        {{IDP_FILE_FOLDER}, CDIS_DISABLED, folder},
        {{IDP_FILE_FOLDER, IDP_FILE_PDF}, CDIS_HOT, pdf},
        {{IDP_FILE_FOLDER, IDP_FILE_PDF}, CDIS_DISABLED, folder},
        {{IDP_FILE_FOLDER, IDP_FILE_PDF, IDP_FILE_TEXT}, 0, folder},
        {{IDP_FILE_FOLDER, IDP_FILE_PDF, IDP_FILE_TEXT}, CDIS_HOT, pdf},
        {{IDP_FILE_FOLDER, IDP_FILE_PDF, IDP_FILE_TEXT}, CDIS_DISABLED | CDIS_HOT, text},
        {{IDP_FILE_FOLDER, IDP_FILE_PDF, IDP_FILE_TEXT}, CDIS_SELECTED, folder},
        // A missing image adds nothing: the later ones move up.
        {{9999, IDP_FILE_PDF, IDP_FILE_TEXT}, CDIS_HOT, text},
    };
    for (const Case& c : cases) {
        CJXImageButton button;
        std::vector<UINT> ids = c.ids;
        ids.push_back(0xFFFFFFFF);
        button.LoadImages(ATL::GetModuleInstance(), ids.data(), L"PNG");
        EXPECT_EQ(DrawnImageBand(button, c.state), c.expected) << c.ids.size() << " images, state " << c.state;
    }
}

TEST(ImageButton, SecondLoadAppendsAndMissingResourcesAddNothing) {
    CJXImageButton button;
    button.LoadImages(ATL::GetModuleInstance(), 9999, L"PNG");
    EXPECT_EQ(button.GetImageList(), nullptr);
    button.LoadImages(ATL::GetModuleInstance(), IDP_FILE_PDF, L"PNG");
    button.LoadImages(ATL::GetModuleInstance(), IDP_FILE_TEXT, L"PNG");
    ASSERT_NE(button.GetImageList(), nullptr);
    EXPECT_EQ(::ImageList_GetImageCount(button.GetImageList()), 2);
}

namespace {

// A control that records what reached it.
class CRecordingUI : public CJXCustomUI {
public:
    CRecordingUI(UINT id, HWND window, bool handles) : m_id(id), m_window(window), m_handles(handles) {}
    UINT GetCtrlId() const override { return m_id; }
    HWND GetHwnd() const override { return m_window; }
    LRESULT OnDrawItem(DRAWITEMSTRUCT*, BOOL& handled) override { return Answer(handled); }
    LRESULT OnMeasureItem(MEASUREITEMSTRUCT*, BOOL& handled) override { return Answer(handled); }
    LRESULT OnNotify(NMHDR*, BOOL& handled) override { return Answer(handled); }
    int calls = 0;

private:
    LRESULT Answer(BOOL& handled) {
        ++calls;
        handled = m_handles ? TRUE : FALSE;
        return m_handles ? static_cast<LRESULT>(m_id) + 100 : 0;
    }
    UINT m_id;
    HWND m_window;
    bool m_handles;
};

}  // namespace

TEST(CustomUIHandler, RoutesToTheFirstMatchingControlOnly) {
    const HWND windowA = reinterpret_cast<HWND>(0x1000);
    const HWND windowB = reinterpret_cast<HWND>(0x2000);
    CRecordingUI unhandling(0, windowA, false);  // id 0, as a plain button
    CRecordingUI first(5, windowB, true);
    CRecordingUI shadowed(5, windowB, true);
    CJXCustomUIHandler handler;
    handler.AddControl(&unhandling);
    handler.AddControl(&first);
    handler.AddControl(&shadowed);

    BOOL handled = TRUE;
    DRAWITEMSTRUCT draw = {};
    EXPECT_EQ(handler.DispatchDrawItem(5, &draw, handled), 105);
    EXPECT_TRUE(handled);
    MEASUREITEMSTRUCT measure = {};
    EXPECT_EQ(handler.DispatchMeasureItem(5, &measure, handled), 105);
    EXPECT_EQ(first.calls, 2);
    EXPECT_EQ(shadowed.calls, 0);

    // Id 0 reaches the first control, which leaves it: unhandled, and the
    // walk stops there.
    EXPECT_EQ(handler.DispatchDrawItem(0, &draw, handled), 0);
    EXPECT_FALSE(handled);
    EXPECT_EQ(unhandling.calls, 1);

    NMHDR header = {windowB, 5, NM_CUSTOMDRAW};
    EXPECT_EQ(handler.DispatchNotify(&header, handled), 105);
    EXPECT_TRUE(handled);
    NMHDR unknown = {reinterpret_cast<HWND>(0x3000), 7, NM_CUSTOMDRAW};
    handled = TRUE;
    EXPECT_EQ(handler.DispatchNotify(&unknown, handled), 0);
    EXPECT_FALSE(handled);
    EXPECT_EQ(handler.DispatchDrawItem(42, &draw, handled), 0);
    EXPECT_FALSE(handled);

    handler.RemoveAllControls();
    EXPECT_EQ(handler.DispatchDrawItem(5, &draw, handled), 0);
    EXPECT_EQ(first.calls, 3);
}
