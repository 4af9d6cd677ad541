#include "OverlayCallWorker.h"

#include <process.h>

#include <optional>
#include <utility>

#include "BrelioFramework/ComObject.h"
#include "GuardedOverlayCall.h"

namespace {

// How long the caller waits for the library's answer. An overlay that
// takes longer than this to decide is one the user is better off without.
constexpr DWORD kAnswerBoundMs = 100;
// How long the caller waits for an idle worker to take a question up. The
// library has no part in this wait, only the system's scheduling.
constexpr DWORD kTakeUpLimitMs = 5000;
// How long a handler that goes waits for its idle worker to end.
constexpr DWORD kEndLimitMs = 5000;
// Stack kept back on the worker for the handling of a stack overflow in
// the library: the dispatch of the exception, the filter and the unwind
// all run on the stack that overflowed. (Wine keeps its two pages back
// whatever is asked; they have been enough for this handler.)
constexpr ULONG kStackGuaranteeBytes = 64 * 1024;

class CExclusive {
public:
    explicit CExclusive(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~CExclusive() { ::ReleaseSRWLockExclusive(&m_lock); }
    CExclusive(const CExclusive&) = delete;
    CExclusive& operator=(const CExclusive&) = delete;

private:
    SRWLOCK& m_lock;
};

}  // namespace

// What the asking side and the worker thread share. The worker answers one
// question at a time; the asking side hands over a question only while
// the worker is idle.
class COverlayWorkerState {
public:
    enum class Condition { Idle, Busy, Retired };

    explicit COverlayWorkerState(brelio::UniqueKernelHandle mutex) : m_mutex(std::move(mutex)) {}
    COverlayWorkerState(const COverlayWorkerState&) = delete;
    COverlayWorkerState& operator=(const COverlayWorkerState&) = delete;

    Condition GetCondition() {
        CExclusive lock(m_lock);
        if (m_retired) return Condition::Retired;
        return m_busy ? Condition::Busy : Condition::Idle;
    }

    // A handle of the same mutex, for a state that takes over.
    brelio::UniqueKernelHandle DuplicateMutex() const {
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), m_mutex.Get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS))
            return {};
        return brelio::UniqueKernelHandle(copy);
    }

    HRESULT Ask(OverlayQuestion question) {
        CExclusive lock(m_lock);
        if (m_busy || m_retired || m_stopping) return S_FALSE;
        m_pending = std::move(question);
        m_busy = true;
        const ULONGLONG number = ++m_asked;
        ::WakeAllConditionVariable(&m_changed);
        if (!WaitUntil([&] { return m_takenUp >= number; }, kTakeUpLimitMs)) return S_FALSE;
        if (!WaitUntil([&] { return m_answered >= number; }, kAnswerBoundMs)) return S_FALSE;
        return m_answer;
    }

    // A new thread takes over from one that retired.
    void Rehire() {
        CExclusive lock(m_lock);
        m_retired = false;
    }

    // Tells the worker to end once it is idle; whether it is idle now.
    bool Stop() {
        CExclusive lock(m_lock);
        m_stopping = true;
        ::WakeAllConditionVariable(&m_changed);
        return !m_busy;
    }

    // The worker thread: answers questions until told to stop, or until one
    // faulted.
    void Serve() {
        for (;;) {
            OverlayQuestion question;
            ULONGLONG number = 0;
            {
                CExclusive lock(m_lock);
                while (!m_pending && !m_stopping) ::SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
                if (m_stopping) return;
                question = std::move(*m_pending);
                m_pending.reset();
                number = m_asked;
                m_takenUp = number;
                ::WakeAllConditionVariable(&m_changed);
            }
            const GuardedAnswer answer = GuardedIsMemberOf(question, m_mutex.Get());
            // The library may be unloaded as soon as the answer is known.
            question.library.Reset();
            CExclusive lock(m_lock);
            m_answer = answer.result;
            m_answered = number;
            m_busy = false;
            // A stack overflow leaves this stack without its guard page: the
            // next question gets a thread with a new stack.
            m_retired = answer.faulted;
            ::WakeAllConditionVariable(&m_changed);
            if (m_retired) return;
        }
    }

private:
    // Waits (the lock held while not sleeping) until the condition holds or
    // the time is up.
    template <typename Done>
    bool WaitUntil(Done done, DWORD milliseconds) {
        const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
        while (!done()) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline) return false;
            ::SleepConditionVariableSRW(&m_changed, &m_lock, static_cast<DWORD>(deadline - now), 0);
        }
        return true;
    }

    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
    const brelio::UniqueKernelHandle m_mutex;
    std::optional<OverlayQuestion> m_pending;
    ULONGLONG m_asked = 0;
    ULONGLONG m_takenUp = 0;
    ULONGLONG m_answered = 0;
    HRESULT m_answer = S_FALSE;
    bool m_busy = false;
    bool m_stopping = false;
    bool m_retired = false;
};

namespace {

struct WorkerStart {
    std::shared_ptr<COverlayWorkerState> state;
    HMODULE self = nullptr;
};

unsigned __stdcall OverlayWorkerThread(void* param) {
    HMODULE self = nullptr;
    {
        const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
        self = start->self;
        ULONG guarantee = kStackGuaranteeBytes;
        ::SetThreadStackGuarantee(&guarantee);
        start->state->Serve();
    }
    ATL::ModuleUnlock();
    ::FreeLibraryAndExitThread(self, 0);
    return 0;
}

}  // namespace

COverlayCallWorker::COverlayCallWorker(brelio::UniqueKernelHandle storageMutex)
    : m_state(std::make_shared<COverlayWorkerState>(std::move(storageMutex))) {}

COverlayCallWorker::~COverlayCallWorker() {
    if (!m_thread) return;
    if (m_state->Stop()) ::WaitForSingleObject(m_thread.Get(), kEndLimitMs);
}

HRESULT COverlayCallWorker::Ask(OverlayQuestion question) {
    if (!EnsureWorker()) return S_FALSE;
    return m_state->Ask(std::move(question));
}

bool COverlayCallWorker::EnsureWorker() {
    if (m_thread) {
        switch (m_state->GetCondition()) {
        case COverlayWorkerState::Condition::Idle: return true;
        case COverlayWorkerState::Condition::Busy:
            // Normally the library still works on an earlier question. A
            // thread that ended without answering (the system ended it inside
            // the library) never answers: what it held stays held, and a new
            // worker takes over with a state of its own.
            if (::WaitForSingleObject(m_thread.Get(), 0) != WAIT_OBJECT_0) return true;
            m_state = std::make_shared<COverlayWorkerState>(m_state->DuplicateMutex());
            break;
        case COverlayWorkerState::Condition::Retired:
            // It ends by itself; a new thread serves from here on.
            m_state->Rehire();
            break;
        }
        m_thread.Reset();
    }
    return StartThread();
}

bool COverlayCallWorker::StartThread() {
    auto start = std::make_unique<WorkerStart>();
    start->state = m_state;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&OverlayWorkerThread),
                              &start->self))
        return false;
    ATL::ModuleLock();
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, OverlayWorkerThread, start.get(), 0, nullptr);
    if (thread == 0) {
        ATL::ModuleUnlock();
        ::FreeLibrary(start->self);
        return false;
    }
    start.release();
    m_thread.Reset(reinterpret_cast<HANDLE>(thread));
    return true;
}
