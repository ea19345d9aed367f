// Message boxes of the control panel: caption "Velora СОД", owned by the main window once it
// exists, in one of four kinds.
#pragma once
#include <windows.h>
#include <string>

enum class BoxKind { Error, Question, Warning, Plain };

// Returns the button pressed (IDOK, IDYES or IDNO).
int ShowBox(BoxKind kind, const std::wstring& text, HWND owner = nullptr);
// A question box; true for Yes.
bool AskYesNo(const std::wstring& text, HWND owner = nullptr);

// The text of the calling thread's last system error, as LastErrorText gives it. Call it
// right after the failing call, before anything else can change the last error.
std::wstring ErrorText();
