#pragma once
#include <windows.h>

#include <string>

#include "BrelioServices/SyncFolderList.h"

// Returned by the account operations while no account is set:
// HRESULT_FROM_WIN32(ERROR_INVALID_STATE).
inline constexpr HRESULT E_SETTINGS_NO_ACCOUNT = static_cast<HRESULT>(0x8007139F);

// The in-memory copy of the settings in the registry (layout in
// RegistryLayout.h) and the operations that write them back. Written on the
// UI thread only; the workers read the root folder, the database path and
// the folder list.
//
// Reading: a value of the wrong type, with an odd byte count, without its
// terminator or longer than its readers accept counts as absent. It is
// logged and never overwritten by a default, so nothing the user stored is
// lost.
class CSettings {
public:
    CSettings() = default;
    CSettings(const CSettings&) = delete;
    CSettings& operator=(const CSettings&) = delete;

    // Opens (creating) the settings key and reads Account and the flags;
    // consumes a FirstRun of 1 (writes 0 at once) and then moves every
    // account's database to its current name. 1 when the key was created
    // now, 0 when it existed, a negative HRESULT when it cannot be had.
    int LoadGlobal();
    // Reads (and defaults) the account's root folder and database path,
    // creates the root folder, then reads the session and the selection.
    [[nodiscard]] HRESULT LoadAccount();

    // "<member>@<tenant>" when both are given, else empty (signed out).
    // ERROR_INVALID_PARAMETER, with nothing changed, for a tenant that is
    // no DNS label or a member code that cannot name a folder.
    LSTATUS SetAccount(const wchar_t* tenant, const wchar_t* member);
    // Stores a new root folder (creating it), or with NULL the stored or
    // default one; always recomputes the database path and re-points the
    // Explorer entry. Returns the result of the folder creation.
    [[nodiscard]] HRESULT SetRootDir(const wchar_t* folder);
    LSTATUS SetSessionId(const wchar_t* sessionId);
    // An empty selection means the whole drive; a non-empty one replaces
    // the stored list whole.
    [[nodiscard]] HRESULT SetSyncFolders(const CSyncFolderList& selection);
    LSTATUS SetAutoLogin(bool on);

    // The tenant is what follows the last "@": a member code may hold
    // one itself, a tenant name never does.
    std::wstring GetTenant() const;
    const std::wstring& GetAccount() const { return m_account; }
    const std::wstring& GetSessionId() const { return m_sessionId; }
    const std::wstring& GetLocalStoragePath() const { return m_localStoragePath; }
    const std::wstring& GetRootDir() const { return m_rootDir; }
    CSyncFolderList& GetSyncFolders() { return m_syncFolders; }
    const CSyncFolderList& GetSyncFolders() const { return m_syncFolders; }

    bool IsLoggingEnabled() const { return m_enableLogging; }
    bool IsFirstRun() const { return m_firstRun; }
    bool IsAutoLogin() const { return m_autoLogin; }
    bool HasSession() const { return !m_sessionId.empty(); }
    // Once the first start has completed.
    void ClearFirstRun() { m_firstRun = false; }

private:
    std::wstring AccountKeyPath() const;

    bool m_enableLogging = false;
    bool m_firstRun = false;
    bool m_autoLogin = false;
    std::wstring m_localStoragePath;
    std::wstring m_rootDir;
    std::wstring m_account;
    std::wstring m_sessionId;
    CSyncFolderList m_syncFolders;
};
