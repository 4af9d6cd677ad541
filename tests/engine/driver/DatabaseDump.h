#pragma once
#include <windows.h>

// Writes every row of the file table as one JSON line, under the storage
// mutex. Returns the failure when the database cannot be read.
HRESULT DumpFileRows(const wchar_t* databasePath);
