#include "message_box.h"

#include "app.h"
#include "last_error.h"
#include "text.h"

int ShowBox(BoxKind kind, const std::wstring& text, HWND owner) {
    UINT flags = MB_OK;
    switch (kind) {
        case BoxKind::Error: flags = MB_OK | MB_ICONERROR; break;
        case BoxKind::Question: flags = MB_YESNO | MB_ICONQUESTION; break;
        case BoxKind::Warning: flags = MB_OK | MB_ICONWARNING; break;
        case BoxKind::Plain: flags = MB_OK; break;
    }
    if (!owner) owner = g_app.mainWindow;
    ++g_app.openBoxes;
    int answer = MessageBoxW(owner, text.c_str(), kCaption, flags);
    --g_app.openBoxes;
    return answer;
}

bool AskYesNo(const std::wstring& text, HWND owner) {
    return ShowBox(BoxKind::Question, text, owner) == IDYES;
}

std::wstring ErrorText() {
    char buffer[256];
    LastErrorText(buffer, sizeof buffer);
    return AnsiToWide(buffer);
}
