#pragma once
#include <windows.h>

#include <string>

#include "BrelioCore/JXSRWLock.h"
#include "BrelioCore/UniqueHandle.h"
#include "BrelioServices/ModuleNames.h"
#include "OverlayCallWorker.h"
#include "OverlayQuestion.h"

// The full path of the overlay library beside this library; empty when
// this library's own path does not fit the system's path length.
std::wstring GetOverlayLibraryPath();

// Answers one overlay handler's questions by asking the overlay library
// about paths inside the sync folder.
class COverlayStatusProvider {
public:
    explicit COverlayStatusProvider(int overlayId);
    COverlayStatusProvider(const COverlayStatusProvider&) = delete;
    COverlayStatusProvider& operator=(const COverlayStatusProvider&) = delete;

    HRESULT IsMemberOf(const wchar_t* path, DWORD attributes);
    HRESULT GetOverlayInfo(wchar_t* iconFile, int capacity, int* index, DWORD* flags) const;

private:
    HRESULT CallIsMemberOf(const wchar_t* root, const wchar_t* path, DWORD attributes);
    void LoadLibraryOnce();
    void FreeOverlayLibrary();

    CJXSRWLock m_lock;
    const int m_overlayId;
    const std::wstring m_libraryPath;
    brelio::UniqueModule m_library;
    OverlayIsMemberOfFunction m_isMemberOf = nullptr;
    // Owns the storage mutex; asks the library on its own thread.
    COverlayCallWorker m_worker;
};
