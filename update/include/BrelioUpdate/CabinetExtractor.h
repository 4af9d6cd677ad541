#pragma once
#include <windows.h>
#include <fdi.h>

#include <string>

#include "BrelioCore/JXProgressCallback.h"

// Unpacks a cabinet into a folder with the system's cabinet decompression
// (FDI). Each extracted file is reported to the owner, which keeps the
// caller's window alive meanwhile. An entry whose name would leave the
// folder, or cannot be read as a name, stops the extraction before any of
// it is written.
class CCabinetExtractor {
public:
    // `owner` may be null: then nothing is reported.
    CCabinetExtractor(IJXProgressCallback* owner, std::wstring cabinetPath);
    CCabinetExtractor(const CCabinetExtractor&) = delete;
    CCabinetExtractor& operator=(const CCabinetExtractor&) = delete;

    // S_OK, or E_FAIL when the cabinet could not be extracted whole; files
    // extracted before a failure stay.
    [[nodiscard]] HRESULT Extract(const std::wstring& destinationDir);

    // FDI's notification callback, reached through a plain trampoline.
    INT_PTR Notify(FDINOTIFICATIONTYPE type, PFDINOTIFICATION record);

private:
    INT_PTR OnCopyFile(PFDINOTIFICATION record);
    void ReportProgress(const wchar_t* name);

    IJXProgressCallback* m_owner;
    std::wstring m_cabinetPath;
    std::wstring m_destinationDir;
};

// The relative name has a folder part (text before its last separator).
bool HasDirectoryPart(const std::wstring& relativeName);
// Makes the parent folder of `path` when it is missing; one level only.
bool CreateParentDirectory(const std::wstring& path);
