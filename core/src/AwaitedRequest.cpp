#include "AwaitedRequest.h"

#include <atomic>
#include <memory>
#include <new>

namespace brelio {
namespace {

// The call states of this module that WinHTTP may still call back for.
// Plain statics: nothing to build at load or to tear down at unload.
SRWLOCK g_liveLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_noneLive = CONDITION_VARIABLE_INIT;
long g_live = 0;  // under g_liveLock

// Counts one state for as long as it lives.
struct LiveStateCount {
    LiveStateCount() {
        ::AcquireSRWLockExclusive(&g_liveLock);
        ++g_live;
        ::ReleaseSRWLockExclusive(&g_liveLock);
    }
    // WinHTTP's thread that ends the last state still returns through
    // here and through the callback: a few instructions, against all the
    // loader does before a library is unmapped.
    ~LiveStateCount() {
        ::AcquireSRWLockExclusive(&g_liveLock);
        if (--g_live == 0) ::WakeAllConditionVariable(&g_noneLive);
        ::ReleaseSRWLockExclusive(&g_liveLock);
    }
    LiveStateCount(const LiveStateCount&) = delete;
    LiveStateCount& operator=(const LiveStateCount&) = delete;
};

}  // namespace

// What WinHTTP's callback writes: shared by the request object and by
// WinHTTP, each holding one reference. WinHTTP lets go of its own when it
// reports the handle closed, which may come after the object is gone.
struct AwaitedCallState {
    // First, so that the state counts as gone only once all of it is.
    LiveStateCount live;
    std::atomic<int> references{1};
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE completed = CONDITION_VARIABLE_INIT;
    // Under the lock: the call's outcome, set once it completed.
    bool done = false;
    DWORD error = ERROR_SUCCESS;
    DWORD bytes = 0;
    std::unique_ptr<unsigned char[]> buffer;
    DWORD capacity = 0;

    void Complete(DWORD result, DWORD count) {
        ::AcquireSRWLockExclusive(&lock);
        error = result;
        bytes = count;
        done = true;
        // Woken under the lock: the waiter cannot return, and its request
        // let go of the state, before this call is over.
        ::WakeConditionVariable(&completed);
        ::ReleaseSRWLockExclusive(&lock);
    }
    void Release() {
        if (references.fetch_sub(1) == 1) delete this;
    }
};

namespace {

HRESULT LastError() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    auto* state = reinterpret_cast<AwaitedCallState*>(context);
    if (state == nullptr) return;
    switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            state->Complete(ERROR_SUCCESS, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
            state->Complete(ERROR_SUCCESS, info != nullptr ? *static_cast<const DWORD*>(info) : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            state->Complete(ERROR_SUCCESS, length);
            break;
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            state->Complete(ERROR_SUCCESS, info != nullptr ? *static_cast<const DWORD*>(info) : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: {
            const auto* result = static_cast<const WINHTTP_ASYNC_RESULT*>(info);
            state->Complete(result != nullptr && result->dwError != ERROR_SUCCESS ? result->dwError : ERROR_GEN_FAILURE,
                            0);
            break;
        }
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            state->Release();
            break;
        default:
            break;
    }
}

}  // namespace

bool WaitUntilNoAwaitedCallStates(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    ::AcquireSRWLockExclusive(&g_liveLock);
    while (g_live > 0) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) break;
        ::SleepConditionVariableSRW(&g_noneLive, &g_liveLock, static_cast<DWORD>(deadline - now), 0);
    }
    const bool none = g_live == 0;
    ::ReleaseSRWLockExclusive(&g_liveLock);
    return none;
}

CAwaitedRequest::CAwaitedRequest(HANDLE cancelEvent, HANDLE otherCancelEvent)
    : m_cancel{}, m_state(new AwaitedCallState) {
    for (const HANDLE event : {cancelEvent, otherCancelEvent})
        if (event != nullptr) m_cancel[m_cancelCount++] = event;
}

CAwaitedRequest::~CAwaitedRequest() {
    m_request.Reset();
    m_state->Release();
}

HRESULT CAwaitedRequest::Open(HINTERNET connection, const wchar_t* verb, const wchar_t* object, DWORD flags) {
    m_request.Reset(::WinHttpOpenRequest(connection, verb, object, nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!m_request) return LastError();
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(m_state);
    if (!::WinHttpSetOption(m_request.Get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) {
        const HRESULT failed = LastError();
        m_request.Reset();
        return failed;
    }
    // From here on WinHTTP holds a reference, given back when it reports
    // the handle closed.
    m_state->references.fetch_add(1);
    if (::WinHttpSetStatusCallback(m_request.Get(), OnRequestStatus,
                                   WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                   0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        const HRESULT failed = LastError();
        m_state->references.fetch_sub(1);
        m_request.Reset();
        return failed;
    }
    return S_OK;
}

unsigned char* CAwaitedRequest::Buffer(DWORD size) {
    if (m_state->capacity < size) {
        // Not cleared: every byte is written before it is read.
        m_state->buffer.reset(new (std::nothrow) unsigned char[size]);
        m_state->capacity = m_state->buffer ? size : 0;
    }
    return m_state->buffer.get();
}

const unsigned char* CAwaitedRequest::Data() const { return m_state->buffer.get(); }

bool CAwaitedRequest::IsCancelled() {
    m_lastCancelCheck = ::GetTickCount64();
    if (m_cancelCount == 0) return false;
    const DWORD waited = ::WaitForMultipleObjects(m_cancelCount, m_cancel, FALSE, 0);
    return waited < WAIT_OBJECT_0 + m_cancelCount;
}

HRESULT CAwaitedRequest::Abort() {
    // Closing the request ends a pending call; WinHTTP may still finish it
    // later into the state, which outlives this object as long as needed.
    m_request.Reset();
    return E_ABORT;
}

HRESULT CAwaitedRequest::CheckCancel() {
    if (!m_request) return E_ABORT;
    if (::GetTickCount64() - m_lastCancelCheck < kCancelPollMs) return S_OK;
    return IsCancelled() ? Abort() : S_OK;
}

HRESULT CAwaitedRequest::Await(BOOL started, DWORD* bytes) {
    if (!started) return LastError();
    AwaitedCallState& state = *m_state;
    ::AcquireSRWLockExclusive(&state.lock);
    while (!state.done) {
        const ULONGLONG waited = ::GetTickCount64() - m_lastCancelCheck;
        if (waited >= kCancelPollMs) {
            ::ReleaseSRWLockExclusive(&state.lock);
            if (IsCancelled()) return Abort();
            ::AcquireSRWLockExclusive(&state.lock);
            continue;
        }
        ::SleepConditionVariableSRW(&state.completed, &state.lock, static_cast<DWORD>(kCancelPollMs - waited), 0);
    }
    // A call that completed as the stop came still counts.
    state.done = false;
    const DWORD error = state.error;
    if (bytes != nullptr) *bytes = state.bytes;
    ::ReleaseSRWLockExclusive(&state.lock);
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error);
}

HRESULT CAwaitedRequest::Send(const wchar_t* headers, DWORD inlineLength, DWORD totalLength) {
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    const bool hasHeaders = headers != nullptr && *headers != L'\0';
    return Await(::WinHttpSendRequest(m_request.Get(), hasHeaders ? headers : WINHTTP_NO_ADDITIONAL_HEADERS,
                                      hasHeaders ? static_cast<DWORD>(-1) : 0,
                                      inlineLength > 0 ? m_state->buffer.get() : WINHTTP_NO_REQUEST_DATA,
                                      inlineLength, totalLength, reinterpret_cast<DWORD_PTR>(m_state)));
}

HRESULT CAwaitedRequest::Write(DWORD length, DWORD& written) {
    written = 0;
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    return Await(::WinHttpWriteData(m_request.Get(), m_state->buffer.get(), length, nullptr), &written);
}

HRESULT CAwaitedRequest::ReceiveResponse() {
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    return Await(::WinHttpReceiveResponse(m_request.Get(), nullptr));
}

HRESULT CAwaitedRequest::Read(DWORD room, DWORD& read) {
    read = 0;
    const HRESULT cancelled = CheckCancel();
    if (FAILED(cancelled)) return cancelled;
    if (Buffer(room) == nullptr) return E_OUTOFMEMORY;
    return Await(::WinHttpReadData(m_request.Get(), m_state->buffer.get(), room, nullptr), &read);
}

HRESULT CAwaitedRequest::ReadArrived(DWORD room, DWORD& read) {
    read = 0;
    HRESULT hr = CheckCancel();
    if (FAILED(hr)) return hr;
    DWORD available = 0;
    hr = Await(::WinHttpQueryDataAvailable(m_request.Get(), nullptr), &available);
    if (FAILED(hr)) return hr;
    if (available == 0) return S_OK;
    return Read(available < room ? available : room, read);
}

}  // namespace brelio
