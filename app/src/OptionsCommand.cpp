#include "BrelioApp/DriveApp.h"
#include "BrelioApp/OptionsWnd.h"
#include "BrelioApp/SignInWindows.h"

INT_PTR RunOptionsWindow(HWND owner, int& changes) {
    CDriveApp* app = CDriveApp::GetInstance();
    CDriveApp::CNestedLoop window;
    COptionsWnd options(app->GetSettings(), *app);
    const INT_PTR result = options.DoModal(owner);
    const int stored = options.GetResult();
    changes = stored == OPTIONS_ROOT_CHANGED || stored == OPTIONS_SELECTION_CHANGED ? stored : 0;
    return result;
}
