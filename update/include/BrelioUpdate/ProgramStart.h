#pragma once
#include <windows.h>

#include <string>

// Starts a program through the shell ("open", no error UI) with its working
// folder, and logs "Execute '<file> <parameters>(0x<result>)." Without
// `wait` the result is S_OK once it started. With `wait` the call waits
// for the program to end and its exit code becomes the result (see
// ExitCodeToResult in UpdateExitCodes.h). A failed start gives the HRESULT
// of the last error.
[[nodiscard]] HRESULT StartProgram(const std::wstring& file, const std::wstring& parameters,
                                   const std::wstring& workingDir, bool wait);

// A folder as one command-line argument in double quotes. A trailing
// backslash is doubled so that it does not escape the closing quote.
std::wstring QuotedArgument(const std::wstring& text);
