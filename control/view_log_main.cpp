// velora-log: opens the service's log.txt in the exchange folder the control panel set, as
// the control panel's "Просмотр лога" does; the Start menu's "Журнал службы Velora" runs it.
// Exit code 0 when the editor was started, 1 when there was no folder or no log.
#include "exchange_folder.h"
#include "file_actions.h"
#include "app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    g_app.instance = instance;
    LoadExchangeFolder();
    return ViewLogFile(g_app.exchangeFolder) ? 0 : 1;
}
