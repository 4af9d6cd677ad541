#pragma once
#include <windows.h>

#include <utility>

namespace brelio {

// One owner type per kind of handle: the traits say what "empty" is and how
// to close it, so no caller ever closes a handle by hand.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : m_h(h) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return Traits::IsValid(m_h); }
    explicit operator bool() const noexcept { return IsValid(); }

    Handle Release() noexcept { return std::exchange(m_h, Traits::Empty()); }
    void Reset(Handle h = Traits::Empty()) noexcept {
        Handle old = std::exchange(m_h, h);
        if (Traits::IsValid(old)) Traits::Close(old);
    }

private:
    Handle m_h = Traits::Empty();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// A kernel object handle (file, event, mutex, thread, process).
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

}  // namespace brelio
