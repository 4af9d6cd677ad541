#pragma once
#include <windows.h>

// The diagnostic log: one line per call appended to a shared file, off
// unless switched on. Each module that links this has its own switch and
// path, set once during start-up before other threads log. Switched on,
// it also writes the lines of BRELIO_RETURN_IF_FAILED (BrelioCore/ErrorFlow.h).
void SetLogEnabled(bool enabled);
void SetLogPath(const wchar_t* path);
void WriteLog(const char* message);
void WriteLogW(const wchar_t* message);
void Log(const wchar_t* format, ...);
