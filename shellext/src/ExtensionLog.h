#pragma once

// The extension's lines in the program's log file. Logging is switched on
// once, when the extension starts inside Explorer with "EnableLogging" 1,
// and stays on for the life of the process; callers test the switch.
bool IsExtensionLogOn();
void SwitchExtensionLogOn();

// Appends "<local time>(0x<thread id>)\t<text>\r\n" to the log file. One
// attempt: a file that cannot be opened loses the line (Explorer must not
// wait for the program's writer).
void WriteExtensionLog(const char* text);

// Formats a wide text (printf, Windows' meaning of %s), converts it to the
// ANSI code page and writes it when logging is on.
void LogExtension(const wchar_t* format, ...);
