// The main of the tests that open windows: COM in a single-threaded
// apartment, the common controls and GDI+, as the program starts them.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include "BrelioCore/UniqueHandle.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    brelio::ComInitScope com;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    const int result = RUN_ALL_TESTS();
    Gdiplus::GdiplusShutdown(token);
    return result;
}
