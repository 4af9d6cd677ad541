#pragma once
#include <windows.h>

#include <string>

// The update library's texts and message boxes. Boxes have no owner
// window: the library runs inside other programs and must not tie itself
// to their windows. Every box carries the library's own caption.

// The module whose resources hold the texts: the update library itself, or
// a test program that compiles the same resources in.
HINSTANCE UpdateModule();

// A text of the library's string table; empty when the id is missing.
std::wstring LoadUpdateString(UINT id);

// Each returns the button pressed (IDOK, IDYES, ...), or 0 when no box
// could be shown.
int ShowMessage(const wchar_t* text, UINT style);
int ShowMessageId(UINT id, UINT style);
// The text is string `id` with its one %s replaced by `argument`.
int ShowMessageFormat(UINT id, const wchar_t* argument, UINT style);

// The box styles the update uses.
inline constexpr UINT kBoxInformation = MB_OK | MB_ICONINFORMATION;  // 0x40
inline constexpr UINT kBoxQuestion = MB_YESNO | MB_ICONQUESTION;     // 0x24
inline constexpr UINT kBoxError = MB_OK | MB_ICONERROR;              // 0x10
inline constexpr UINT kBoxRetry = MB_RETRYCANCEL | MB_ICONWARNING;   // 0x35
