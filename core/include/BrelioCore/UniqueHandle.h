#pragma once
#include <windows.h>

#include <utility>

// This header stays free of the COM, common-control and GDI+ headers (the
// COM ones bring macros that rename methods of unrelated classes): owners
// of those kinds close through functions defined in UniqueHandle.cpp.
struct _IMAGELIST;
namespace Gdiplus {
class GpImage;
}
struct sqlite3;
struct sqlite3_stmt;

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
    // For functions that hand out a new handle through a pointer: the
    // current one is closed first.
    Handle* Put() noexcept {
        Reset();
        return &m_h;
    }

private:
    Handle m_h = Traits::Empty();
};

// Traits for the common case: empty is null, closed by one function.
template <typename H, auto CloseFunction>
struct NullHandleTraits {
    using Handle = H;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { CloseFunction(h); }
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { ::CloseHandle(h); }
};

// A kernel object handle (file, event, mutex, thread, process).
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Handle h) noexcept { ::FindClose(h); }
};
// A directory search (FindFirstFileW / FindFirstFileExW).
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

// An open registry key that this code opened or created itself (never one
// of the predefined roots).
using UniqueRegKey = UniqueHandle<NullHandleTraits<HKEY, ::RegCloseKey>>;

struct WinHttpHandleTraits {
    using Handle = void*;  // HINTERNET, without pulling in winhttp.h
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept;
};
// A WinHTTP session, connection or request.
using UniqueWinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

// A GDI object of one kind: font, pen, brush, bitmap or region.
template <typename H>
using UniqueGdiObject = UniqueHandle<NullHandleTraits<H, ::DeleteObject>>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueRegion = UniqueGdiObject<HRGN>;

// A memory device context (CreateCompatibleDC); window DCs are released,
// not deleted, by the framework's DC scopes.
using UniqueMemoryDC = UniqueHandle<NullHandleTraits<HDC, ::DeleteDC>>;
using UniqueIcon = UniqueHandle<NullHandleTraits<HICON, ::DestroyIcon>>;
using UniqueMenu = UniqueHandle<NullHandleTraits<HMENU, ::DestroyMenu>>;
// A window this code created and has not handed to anyone.
using UniqueWindow = UniqueHandle<NullHandleTraits<HWND, ::DestroyWindow>>;
using UniqueModule = UniqueHandle<NullHandleTraits<HMODULE, ::FreeLibrary>>;
// Memory from LocalAlloc, such as the array of CommandLineToArgvW.
template <typename T>
using UniqueLocalMemory = UniqueHandle<NullHandleTraits<T*, ::LocalFree>>;

// A font added from memory with AddFontMemResourceEx, private to the
// process until removed.
using UniqueFontMemResource = UniqueHandle<NullHandleTraits<HANDLE, ::RemoveFontMemResourceEx>>;

struct ImageListTraits {
    using Handle = _IMAGELIST*;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept;
};
using UniqueImageList = UniqueHandle<ImageListTraits>;

struct GdiplusImageTraits {
    using Handle = Gdiplus::GpImage*;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept;
};
// A GDI+ image or bitmap made through the flat API.
using UniqueGdiplusImage = UniqueHandle<GdiplusImageTraits>;

void FreeCoTaskMem(void* memory) noexcept;

template <typename T>
struct CoTaskMemTraits {
    using Handle = T*;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept { FreeCoTaskMem(h); }
};
// Memory the shell or COM allocated for the caller (a known-folder path,
// a display name, an item id list).
template <typename T>
using UniqueCoTaskMem = UniqueHandle<CoTaskMemTraits<T>>;

struct BstrTraits {
    using Handle = wchar_t*;  // BSTR
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept;
};
using UniqueBstr = UniqueHandle<BstrTraits>;

// A SQLite connection or prepared statement used directly, as tests and
// tools do (the storage layer's own are CSQLiteConnection and
// CSQLiteStatement). Closed in a source file of their own, so that only a
// program that uses them carries SQLite.
struct SqliteDatabaseTraits {
    using Handle = sqlite3*;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept;
};
// Also owns the connection that a failed sqlite3_open leaves behind.
using UniqueSqliteDatabase = UniqueHandle<SqliteDatabaseTraits>;

struct SqliteStatementTraits {
    using Handle = sqlite3_stmt*;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle h) noexcept { return h != nullptr; }
    static void Close(Handle h) noexcept;
};
using UniqueSqliteStatement = UniqueHandle<SqliteStatementTraits>;

// COM on this thread for the scope's lifetime: apartment-threaded without
// OLE1 DDE unless other flags are given. Every successful initialisation,
// S_FALSE included, is balanced; a failed one (another apartment model
// already chosen on this thread) is not.
class ComInitScope {
public:
    ComInitScope() noexcept;
    explicit ComInitScope(DWORD flags) noexcept;
    ~ComInitScope();
    ComInitScope(const ComInitScope&) = delete;
    ComInitScope& operator=(const ComInitScope&) = delete;

    HRESULT Result() const noexcept { return m_result; }

private:
    HRESULT m_result;
};

}  // namespace brelio
