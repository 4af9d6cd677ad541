#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "BrelioApp/ResourceIds.h"
#include "BrelioApp/TrayIconMessage.h"
#include "BrelioCore/JXIcon.h"
#include "BrelioCore/JXShell.h"
#include "BrelioFramework/Module.h"
#include "TestWindows.h"

namespace {
// {3D0B5B7E-6A55-4E1B-9C1E-5D1A4F0B7A11}
constexpr GUID kTestTrayId = {0x3D0B5B7E, 0x6A55, 0x4E1B, {0x9C, 0x1E, 0x5D, 0x1A, 0x4F, 0x0B, 0x7A, 0x11}};
}  // namespace

TEST(JXShell, TrayIconIsAddedWithItsTipAndRemovedOnce) {
    brelio::test::COwnerWindow window;
    ASSERT_NE(window.Create(), nullptr) << ::GetLastError();
    CJXIcon icon;
    ASSERT_TRUE(icon.Load(ATL::GetModuleInstance(), IDI_PROGRAM, CJXIcon::Small));

    // Whatever an earlier run left goes first, as the main frame does.
    CJXShell::NotifyIcon(NIM_DELETE, kTestTrayId, nullptr, window, 0, nullptr, nullptr);
    EXPECT_TRUE(CJXShell::NotifyIcon(NIM_ADD, kTestTrayId, ATL::GetModuleInstance(), window, WM_TRAYICON,
                                     L"Brelio! Drive tip longer than nothing", icon));
    EXPECT_TRUE(CJXShell::NotifyIcon(NIM_DELETE, kTestTrayId, nullptr, window, 0, nullptr, nullptr));
    EXPECT_FALSE(CJXShell::NotifyIcon(NIM_DELETE, kTestTrayId, nullptr, window, 0, nullptr, nullptr));
}
