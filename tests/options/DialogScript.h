#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace brelio::test {

// Runs a test's steps inside the modal loops of the windows under test, on
// the test's own thread: each dialog box that opens (a message box, the
// folder picker) is handed to the next step once its WM_INITDIALOG is
// done, and Post() runs a step from whatever loop pumps next. The texts
// of the message boxes are recorded. A dialog that finds no step is
// declined (Cancel, No or OK) and counted, so an unexpected box fails the
// test instead of hanging it.
class CDialogScript {
public:
    using DialogStep = std::function<void(HWND dialog)>;

    CDialogScript();
    ~CDialogScript();
    CDialogScript(const CDialogScript&) = delete;
    CDialogScript& operator=(const CDialogScript&) = delete;

    void OnNextDialog(DialogStep step);
    // The next dialog is a message box: answer it with this button.
    void AnswerBox(int button);
    void Post(std::function<void()> step);
    // Forgets posted steps that never ran (the loop they were meant for
    // ended first).
    void DropPosted() { m_posted.clear(); }

    const std::vector<std::wstring>& BoxTexts() const { return m_boxTexts; }
    const std::vector<std::wstring>& Unexpected() const { return m_unexpected; }
    bool AllStepsTaken() const { return m_dialogSteps.empty() && m_posted.empty(); }

    // Dispatches what is queued for this thread (posted follow-ups of a
    // click or a key) until the queue is empty.
    static void Pump();
    // The text a message box shows.
    static std::wstring BoxText(HWND box);

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void DialogReady(HWND dialog);
    void RunPosted();

    HWND m_helper = nullptr;
    HHOOK m_hook = nullptr;
    std::deque<DialogStep> m_dialogSteps;
    std::deque<std::function<void()>> m_posted;
    std::vector<std::wstring> m_boxTexts;
    std::vector<std::wstring> m_unexpected;
};

}  // namespace brelio::test
