// The one progress window of FTP transfers, made from the component's dialog template:
// status line and a bar from 0 to 1000. Closing it by its close box, or command 8, cancels.
#pragma once
#include <string>

void ProgressOpen(const std::wstring& caption);
void ProgressClose();
// Written only while the window exists; repaints and runs pending messages.
void ProgressStatus(const std::wstring& text);
void ProgressBar(unsigned perMille);
// Dispatches the pending messages of the thread (the host's windows too).
void PumpMessages();
