#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <objidl.h>

#include <gdiplus.h>

#include "BrelioApp/CommandLine.h"
#include "BrelioApp/DriveApp.h"
#include "BrelioApp/StringIds.h"
#include "BrelioFramework/AppModule.h"
#include "BrelioFramework/MessageLoop.h"

namespace {

int Run(int showCommand) {
    if (!CheckCommandLine()) return 0;
    WTL::CMessageLoop loop;
    WTL::GetAppModule().AddMessageLoop(&loop);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    CDriveApp* app = CDriveApp::GetInstance();
    int result = -1;
    if (FAILED(app->Init(WTL::GetAppModule().GetModuleInstance()))) {
        app->ShowMessage(nullptr, IDS_INIT_FAILED, MB_ICONERROR);
    } else {
        result = app->Run(&loop, showCommand);
        app->Term();
    }
    CDriveApp::DestroyInstance();

    Gdiplus::GdiplusShutdown(gdiplusToken);
    WTL::GetAppModule().RemoveMessageLoop();
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Failures here are not reported: start-up goes on with what it has.
    (void)::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
    WTL::GetAppModule().Init(instance);
    const int result = Run(showCommand);
    WTL::GetAppModule().Term();
    ::CoUninitialize();
    return result;
}
