#pragma once
#include <windows.h>

class CNamedMutex;

// Writes every row of the file table as one JSON line, under the storage
// mutex. Returns the failure when the database cannot be read.
HRESULT DumpFileRows(CNamedMutex& storageMutex, const wchar_t* databasePath);
