// The add-in's own log for 1C: a UTF-16LE text file with one byte-order mark at its start
// and CR LF line ends, each line optionally stamped "dd.mm.yy hh:mm:ss ".
#pragma once
#include <windows.h>

#include <string>

// Appends `text` and a line end to the file; false when it cannot be opened or written.
bool AppendLogLine(const std::wstring& path, const std::wstring& text, bool stamp, ULONGLONG localNow);
// "%02d.%02d.%02d %02d:%02d:%02d " of the local time.
std::wstring LogStamp(ULONGLONG localNow);
