// The status line of the main window and the service buttons that each state enables.
#pragma once
#include <string>

// The text for a state code; userCount and errorText (the service's Error value) fill it in.
std::wstring StatusText(int code, unsigned userCount, const std::wstring& errorText);

// The six service buttons in the order Старт, Остановить службу, Перезапустить,
// Приостановить, Продолжить, Удалить службу; each bit of the result enables one (bit 0 first).
unsigned EnabledServiceButtons(int code);
extern const int kServiceButtonIds[6];

// Writes the status line; when the code differs from the last one shown, sets the buttons
// and repaints the window.
void ShowServiceState(int code);
// Queries the service and shows its state.
void RefreshServiceState();
// The same from a timer tick: no new message box while one is already open.
void RefreshServiceStateFromTimer();
