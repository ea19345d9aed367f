#include "file_actions.h"

#include "app.h"
#include "config_template.h"
#include "message_box.h"
#include "service_values.h"
#include "service_control.h"
#include "text.h"

#include <shellapi.h>
#include <cstring>

namespace {
bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ShellExecute reports success as a value above 32.
bool Launch(const wchar_t* program, const std::wstring& parameter) {
    HINSTANCE result = ShellExecuteW(g_app.mainWindow, L"open", program, parameter.c_str(), nullptr,
                                     SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
}  // namespace

std::wstring QuoteArgument(const std::wstring& path) { return L"\"" + path + L"\""; }

void EnsureConfigTemplate() {
    // Without a folder the path would be relative to wherever the program was started.
    if (g_app.exchangeFolder.empty()) return;
    std::wstring path = JoinPathW(g_app.exchangeFolder, L"config.xml");
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    bool written = WriteConfigTemplate(WideToAnsi(path).c_str());
    ShowBox(BoxKind::Plain, Fmt(written ? L"Файл %ls не найден, создан шаблон."
                                        : L"Файл %ls не найден, шаблон создать не удалось.",
                                path.c_str()));
}

void ReportConfigError() {
    char error[256] = "";
    ReadErrorValue(error, sizeof error);
    if (std::strcmp(error, "config_error") != 0) return;
    if (!AskYesNo(Fmt(L"%ls Показать подробнее?", L"Ошибка файла конфигурации."))) return;
    Launch(L"NOTEPAD.EXE", QuoteArgument(JoinPathW(g_app.exchangeFolder, L"config.err")));
}

bool RunStartCycle() {
    EnsureConfigTemplate();
    bool started = StartServiceAndWait();
    ReportConfigError();
    return started;
}

void OpenFolderInExplorer(const std::wstring& folder) {
    if (!Launch(L"explorer.exe", QuoteArgument(folder)))
        ShowBox(BoxKind::Plain, L"Не удалось открыть папку обмена данными.");
}

namespace {
// Opens `name` of the exchange folder with `program`; `failed` (when given) is shown if the
// program cannot be started. True when the program was started.
bool OpenFolderFile(const std::wstring& folder, const wchar_t* name, const wchar_t* missing,
                    const wchar_t* program, const wchar_t* failed) {
    if (folder.empty()) {
        ShowBox(BoxKind::Error, L"Не выбрана папка обмена данными.");
        return false;
    }
    std::wstring path = JoinPathW(folder, name);
    if (!IsFile(path)) {
        ShowBox(BoxKind::Error, Fmt(missing, path.c_str()));
        return false;
    }
    if (Launch(program, QuoteArgument(path))) return true;
    if (failed) ShowBox(BoxKind::Plain, failed);
    return false;
}
}  // namespace

void ViewConfigFile(const std::wstring& folder) {
    OpenFolderFile(folder, L"config.xml", L"Не найден файл настроек %ls", L"IEXPLORE.EXE",
                   L"Не удалось открыть файл настроек.");
}

bool ViewLogFile(const std::wstring& folder) {
    return OpenFolderFile(folder, L"log.txt", L"Не найден файл лога %ls", L"NOTEPAD.EXE", nullptr);
}
