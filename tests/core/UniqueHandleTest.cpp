#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BrelioCore/UniqueHandle.h"

TEST(UniqueHandle, FindHandleIsEmptyAsInvalidHandleValueAndClosedOnce) {
    brelio::UniqueFindHandle none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);

    wchar_t windows[MAX_PATH] = L"";
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    WIN32_FIND_DATAW data;
    brelio::UniqueFindHandle search(::FindFirstFileW((std::wstring(windows) + L"\\*").c_str(), &data));
    ASSERT_TRUE(search);
    EXPECT_TRUE(::FindNextFileW(search.Get(), &data));
    brelio::UniqueFindHandle moved(std::move(search));
    EXPECT_FALSE(search);
    EXPECT_TRUE(moved);
    moved.Reset();
    EXPECT_EQ(moved.Get(), INVALID_HANDLE_VALUE);
}

namespace {

// Handles that are plain numbers, with every close written down.
std::vector<int> g_closed;
struct CountingTraits {
    using Handle = int;
    static Handle Empty() noexcept { return 0; }
    static bool IsValid(Handle h) noexcept { return h != 0; }
    static void Close(Handle h) noexcept { g_closed.push_back(h); }
};
using CountingHandle = brelio::UniqueHandle<CountingTraits>;

}  // namespace

TEST(UniqueHandle, EachHandleIsClosedExactlyOnceWhateverHappensToItsOwner) {
    g_closed.clear();
    {
        CountingHandle first(1);
        *first.Put() = 2;  // Put closes 1 before a new handle is written
        CountingHandle moved(std::move(first));
        CountingHandle assigned(3);
        assigned = std::move(moved);  // closes 3, takes 2
        CountingHandle released(4);
        EXPECT_EQ(released.Release(), 4);  // handed over: not closed here
        CountingHandle reset(5);
        reset.Reset(6);  // closes 5
    }  // closes 6 and 2
    EXPECT_EQ(g_closed, (std::vector<int>{1, 3, 5, 6, 2}));
}

namespace {

DWORD WINAPI ComScopes(void* result) {
    auto* seen = static_cast<HRESULT*>(result);
    {
        brelio::ComInitScope outer;
        seen[0] = outer.Result();
        {
            brelio::ComInitScope again;  // S_FALSE, still balanced
            seen[1] = again.Result();
            brelio::ComInitScope other(COINIT_MULTITHREADED);  // refused, not balanced
            seen[2] = other.Result();
        }
        // Still initialised once: a new scope gets S_FALSE.
        brelio::ComInitScope check;
        seen[3] = check.Result();
    }
    // Everything balanced: initialising afresh gives S_OK.
    brelio::ComInitScope fresh;
    seen[4] = fresh.Result();
    return 0;
}

}  // namespace

TEST(ComInitScope, BalancesEverySuccessfulInitialisationAndNoFailedOne) {
    HRESULT seen[5] = {};
    brelio::UniqueKernelHandle thread(::CreateThread(nullptr, 0, ComScopes, seen, 0, nullptr));
    ASSERT_TRUE(thread);
    ::WaitForSingleObject(thread.Get(), INFINITE);
    EXPECT_EQ(seen[0], S_OK);
    EXPECT_EQ(seen[1], S_FALSE);
    EXPECT_EQ(seen[2], RPC_E_CHANGED_MODE);
    EXPECT_EQ(seen[3], S_FALSE);
    EXPECT_EQ(seen[4], S_OK);
}

TEST(UniqueHandle, CoTaskMemoryAndStringsAreFreedByTheirOwners) {
    brelio::UniqueCoTaskMem<wchar_t> memory(static_cast<wchar_t*>(::CoTaskMemAlloc(16)));
    EXPECT_TRUE(memory);
    memory.Reset();
    EXPECT_FALSE(memory);
    brelio::UniqueBstr text(::SysAllocString(L"text"));
    EXPECT_EQ(::SysStringLen(text.Get()), 4u);
}
