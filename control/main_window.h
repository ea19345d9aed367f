// The main window: a modeless dialog with the status line, the service buttons and, in its
// expanded part, the exchange folder.
#pragma once
#include <windows.h>

// Creates the window hidden; it becomes g_app.mainWindow.
HWND CreateMainWindow();
// Lays the window out for the current expanded flag, reloads the folder and the status.
void LayOutMainWindow();
