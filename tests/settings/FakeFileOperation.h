#pragma once
#include <windows.h>
#include <shobjidl.h>

// Wine hands out the shell's file operation object with every method a
// stub, so the road that Windows takes cannot run here. This stand-in is
// registered for CLSID_FileOperation inside the test process only
// (CoRegisterClassObject) and behaves as the script says: like the real
// one, an object whose operation failed fails again when reused.
struct FileOperationScript {
    int failuresLeft = 0;             // operations that fail with a sharing violation
    bool removesItem = true;          // a successful operation removes the item
    int objectsMade = 0;              // out: objects handed out
    int operationsRun = 0;            // out: PerformOperations calls
    DWORD flagsSeen = 0;              // out: the last flags set
};

class ScopedFakeFileOperation {
public:
    explicit ScopedFakeFileOperation(FileOperationScript& script);
    ~ScopedFakeFileOperation();
    ScopedFakeFileOperation(const ScopedFakeFileOperation&) = delete;
    ScopedFakeFileOperation& operator=(const ScopedFakeFileOperation&) = delete;
    bool IsRegistered() const { return m_cookie != 0; }

private:
    IClassFactory* m_factory = nullptr;
    DWORD m_cookie = 0;
};
