#pragma once
#include <windows.h>

#include <memory>

#include "BrelioCore/UniqueHandle.h"
#include "OverlayQuestion.h"

class COverlayWorkerState;

// Asks the overlay library on a thread of its own, so that the caller
// (Explorer's thread) waits a bounded time for each answer whatever the
// library does: a question it has not answered within the bound gets no
// overlay, and while it still works on one, further questions get no
// overlay at once instead of queueing up behind it. A question that makes
// the library fault, or the system end the thread inside it, costs that
// worker thread, and the next question gets a fresh one with a stack of
// its own.
//
// The thread holds the extension (a module lock and a loader reference)
// and each question holds the overlay library, so both stay loaded for as
// long as a question is still inside the library, also after the handler
// went.
class COverlayCallWorker {
public:
    // Takes the storage mutex that every question hands on to the library.
    explicit COverlayCallWorker(brelio::UniqueKernelHandle storageMutex);
    // Ends an idle worker and waits for it; a busy one ends once the
    // library answered.
    ~COverlayCallWorker();
    COverlayCallWorker(const COverlayCallWorker&) = delete;
    COverlayCallWorker& operator=(const COverlayCallWorker&) = delete;

    // The library's answer; S_FALSE when it did not answer in time, is
    // still busy with an earlier question, or faulted.
    HRESULT Ask(OverlayQuestion question);

private:
    bool EnsureWorker();
    bool StartThread();

    std::shared_ptr<COverlayWorkerState> m_state;
    brelio::UniqueKernelHandle m_thread;
};
