// Conversions between the wide texts the window shows and the ANSI texts of the registry
// unit and the service, plus small string helpers of the control panel.
#pragma once
#include <string>

std::wstring AnsiToWide(const std::string& text);
// Converts to the system's ANSI code page. *lossless (when given) is false if some character
// has no ANSI form: such a path could not be passed on to the service.
std::string WideToAnsi(const std::wstring& text, bool* lossless = nullptr);

// printf-style formatting into a wide string; use %ls for wide string arguments.
std::wstring Fmt(const wchar_t* format, ...);

// folder + "\" + name, the backslash only when the folder does not already end with one.
std::wstring JoinPathW(const std::wstring& folder, const wchar_t* name);
// Drops one trailing backslash, as the folder entry points do before they store a folder.
std::wstring DropTrailingBackslash(std::wstring path);
// The exchange folder given on the command line: surrounding blanks and one pair of
// enclosing quotes are removed (a path with spaces must be quoted to be typed at all).
std::wstring FolderFromCommandLine(const std::wstring& commandLine);
