#include "status_line.h"

#include "app.h"
#include "service_values.h"
#include "resource.h"
#include "service_control.h"
#include "text.h"

#include <windows.h>
#include <cstring>

const int kServiceButtonIds[6] = {IDC_START, IDC_STOP, IDC_RESTART, IDC_PAUSE, IDC_CONTINUE, IDC_REMOVE};

namespace {
// Bits: 0 Старт, 1 Остановить, 2 Перезапустить, 3 Приостановить, 4 Продолжить, 5 Удалить.
const unsigned kEnabledByState[9] = {
    0x20,  // 0 error: only remove
    0x00,  // 1 start pending
    0x00,  // 2 stop pending
    0x21,  // 3 stopped: start, remove
    0x0E,  // 4 running: stop, restart, pause
    0x00,  // 5 pause pending
    0x16,  // 6 paused: stop, restart, continue
    0x00,  // 7 continue pending
    0x00,  // 8 not installed
};
}  // namespace

unsigned EnabledServiceButtons(int code) {
    if (code < 0 || code > 8) return kEnabledByState[kStateError];
    return kEnabledByState[code];
}

std::wstring StatusText(int code, unsigned userCount, const std::wstring& errorText) {
    switch (code) {
        case kStateStartPending: return L"Запуск службы...";
        case kStateStopPending: return L"Остановка службы...";
        case kStateStopped:
            return L"Служба остановлена. " +
                   (errorText == L"config_error" ? std::wstring(L"Ошибка файла конфигурации.") : errorText);
        case kStateRunning: return Fmt(L"Служба запущена. Пользователей: %u", userCount);
        case kStatePausePending: return Fmt(L"Приостановка... Пользователей: %u", userCount);
        case kStatePaused: return Fmt(L"Пауза. Пользователей: %u", userCount);
        case kStateContinuePending: return Fmt(L"Возобновление... Пользователей: %u", userCount);
        case kStateNotInstalled: return L"Служба не установлена.";
        default: return L"Ошибка.";
    }
}

void ShowServiceState(int code) {
    HWND window = g_app.mainWindow;
    if (!window) return;
    std::wstring errorText;
    if (code == kStateStopped) {
        char buffer[256] = "";
        ReadErrorValue(buffer, sizeof buffer);
        errorText = AnsiToWide(buffer);
    }
    SetDlgItemTextW(window, IDC_STATUS, StatusText(code, ReadUserCountValue(), errorText).c_str());
    if (code == g_app.lastShownState) return;
    g_app.lastShownState = code;
    unsigned enabled = EnabledServiceButtons(code);
    for (int i = 0; i < 6; ++i) EnableWindow(GetDlgItem(window, kServiceButtonIds[i]), (enabled >> i) & 1);
    // The polls of the service operations block this thread: paint now, not after them.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void RefreshServiceState() { ShowServiceState(GetServiceStateCode()); }

void RefreshServiceStateFromTimer() { ShowServiceState(GetServiceStateCode(g_app.openBoxes == 0)); }
