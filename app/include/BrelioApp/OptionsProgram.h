#pragma once
#include <windows.h>

// What the options window, its pages and the remote-folder picker need of
// the program they run in, beside the settings they are given: its UI
// font, its message boxes (each counted as one of its nested loops, over
// its main frame when no owner is given) and its main frame, which hears
// of a confirmed sign-out.
class IOptionsProgram {
public:
    // Null before the program has made it.
    virtual HFONT GetFont() const = 0;
    virtual int ShowMessage(HWND owner, UINT stringId, UINT type) = 0;
    // FALSE, with nothing posted, while the program has no main frame.
    virtual BOOL PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IOptionsProgram() = default;
};
