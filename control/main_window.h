// The main window: a modeless dialog with the status line, the service buttons and, in its
// expanded part, the exchange folder.
#pragma once
#include <windows.h>

// Creates the window hidden; it becomes g_app.mainWindow.
HWND CreateMainWindow();
// Lays the window out for the current expanded flag, reloads the folder and the status.
void LayOutMainWindow();
// The folder menu of the "..." button: "Выбрать папку...", `Открыть "Проводник"`, "Просмотр
// файла настроек", "Просмотр лога" and "Устройства…", in this order; the caller destroys it.
HMENU CreateFolderMenu();
