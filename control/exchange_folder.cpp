#include "exchange_folder.h"

#include "app.h"
#include "message_box.h"
#include "service_values.h"
#include "text.h"

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
bool CreateOne(const std::wstring& path) {
    if (CreateDirectoryW(path.c_str(), nullptr)) return true;
    // "C:\a\" after "C:\a" was made, or a folder made by someone else meanwhile.
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && IsFolder(path)) return true;
    SetLastError(error);
    return false;
}
}  // namespace

bool CreateFolderPath(const std::wstring& path) {
    if (path.size() < 2 || path[0] != L'\\' || path[1] != L'\\') {
        // Create the prefix before every run of separators that follows a path component.
        for (size_t i = 1; i < path.size(); ++i) {
            if (!IsSeparator(path[i]) || IsSeparator(path[i - 1])) continue;
            std::wstring prefix = path.substr(0, i);
            if (GetFileAttributesW(prefix.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
            if (!CreateOne(prefix)) return false;
        }
    }
    return CreateOne(path);
}

bool EnsureExchangeFolder(HWND owner, const std::wstring& path) {
    if (IsFolder(path)) return true;
    if (!AskYesNo(Fmt(L"Каталог %ls не существует. Создать?", path.c_str()), owner)) return false;
    if (CreateFolderPath(path)) return true;
    ShowBox(BoxKind::Error, Fmt(L"Не удалось cоздать каталог %ls - %ls", path.c_str(), ErrorText().c_str()),
            owner);
    return false;
}

void LoadExchangeFolder() {
    char buffer[260] = "";
    ReadExchFolderValue(buffer, sizeof buffer);
    g_app.exchangeFolder = AnsiToWide(buffer);
}

bool CheckFolderIsAnsi(HWND owner, const std::wstring& folder) {
    bool lossless = true;
    WideToAnsi(folder, &lossless);
    if (lossless) return true;
    ShowBox(BoxKind::Error,
            Fmt(L"Путь %ls содержит символы, которых нет в кодовой странице Windows: служба не сможет "
                L"его открыть. Выберите другую папку.",
                folder.c_str()),
            owner);
    return false;
}

bool StoreExchangeFolder(HWND owner, const std::wstring& folder) {
    if (!CheckFolderIsAnsi(owner, folder)) return false;
    if (!WriteExchFolderValue(WideToAnsi(folder).c_str())) {
        // The registry calls give their error as a result, not as the thread's last error.
        ShowBox(BoxKind::Error, L"Не удалось записать папку обмена данными в реестр.", owner);
        return false;
    }
    g_app.exchangeFolder = folder;
    return true;
}
