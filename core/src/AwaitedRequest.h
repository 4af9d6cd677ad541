#pragma once
#include <windows.h>
#include <winhttp.h>

#include "WinHttpSession.h"

namespace brelio {

struct AwaitedCallState;

// True once WinHTTP has reported every request of this module closed, from
// then on it calls nothing of this module; false when some are still open
// after `milliseconds`.
[[nodiscard]] bool WaitUntilNoAwaitedCallStates(DWORD milliseconds);

// One request of the asynchronous session whose every call the calling
// thread awaits: until WinHTTP completes it, or until one of the cancel
// events is set, which closes the request and gives E_ABORT. A blocking
// call could not be cut short this way: under Wine, closing the handle of
// a synchronous request leaves the call waiting for the server.
//
// The wait itself is on memory the completion writes (a condition
// variable), not on kernel events: under Wine every wait on or signal of a
// kernel object is a round trip to the server, which cost a small request
// more than the request itself. The cancel events are looked at before
// anything goes out, and then at least every kCancelPollMs, within a wait
// as between calls; a stop thus takes effect within that time.
//
// Data goes out from and comes in through a buffer of the request's own,
// which lives on until WinHTTP reports the handle closed: an operation
// still pending after a cancel writes there, never into the caller's
// memory.
class CAwaitedRequest {
public:
    static constexpr DWORD kCancelPollMs = 20;

    // The cancel events may be null; they must outlive the object.
    CAwaitedRequest(HANDLE cancelEvent, HANDLE otherCancelEvent);
    ~CAwaitedRequest();
    CAwaitedRequest(const CAwaitedRequest&) = delete;
    CAwaitedRequest& operator=(const CAwaitedRequest&) = delete;

    [[nodiscard]] HRESULT Open(HINTERNET connection, const wchar_t* verb, const wchar_t* object, DWORD flags);
    // For the calls that never wait: options and headers. Null once closed.
    HINTERNET Handle() const { return m_request.Get(); }

    // The staging buffer, at least `size` bytes (not cleared); valid until
    // the next call.
    [[nodiscard]] unsigned char* Buffer(DWORD size);
    // The headers (may be null) with the first `inlineLength` bytes of the
    // buffer; `totalLength` is the length of the whole body.
    [[nodiscard]] HRESULT Send(const wchar_t* headers, DWORD inlineLength, DWORD totalLength);
    // Sends `length` bytes of the buffer.
    [[nodiscard]] HRESULT Write(DWORD length, DWORD& written);
    [[nodiscard]] HRESULT ReceiveResponse();
    // Reads up to `room` bytes into the buffer; 0 at the end of the body.
    // Under Wine data that is there is read at once on the calling thread,
    // which then waits there until the whole room is filled or the body
    // ends: a body that trickles in holds the thread past any cancel.
    [[nodiscard]] HRESULT Read(DWORD room, DWORD& read);
    // The same, but only what has arrived: the wait for data is the asking,
    // which a cancel ends. An extra call per read, answered at once on the
    // calling thread when the data is there.
    [[nodiscard]] HRESULT ReadArrived(DWORD room, DWORD& read);
    const unsigned char* Data() const;

    // Looks at the cancel events now.
    [[nodiscard]] bool IsCancelled();

private:
    // Waits for the completion of the call just made, which returned
    // `started`; `bytes` takes the count the completion reported.
    HRESULT Await(BOOL started, DWORD* bytes = nullptr);
    // E_ABORT after closing the request, when a cancel event is set; the
    // events are looked at only when kCancelPollMs have passed since the
    // last look.
    HRESULT CheckCancel();
    // Closes the request and gives E_ABORT.
    HRESULT Abort();

    HANDLE m_cancel[2];
    DWORD m_cancelCount = 0;
    ULONGLONG m_lastCancelCheck = 0;
    AwaitedCallState* m_state;
    UniqueWinHttpHandle m_request;
};

}  // namespace brelio
