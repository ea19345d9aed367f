#include "embedded_exe.h"

#include "app.h"
#include "message_box.h"
#include "resource.h"
#include "service_control.h"
#include "text.h"

bool WriteEmbeddedServiceExe() {
    HRSRC found = FindResourceExW(nullptr, L"EXECUTE", MAKEINTRESOURCEW(IDR_SERVICE_EXE),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (!found) {
        ShowBox(BoxKind::Error, Fmt(L"Не удаётся найти ресурс - %ls", ErrorText().c_str()));
        return false;
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) {
        ShowBox(BoxKind::Error, Fmt(L"Не удаётся загрузить ресурс - %ls", ErrorText().c_str()));
        return false;
    }
    const void* data = LockResource(loaded);
    if (!data) {
        ShowBox(BoxKind::Error, L"Не удаётся закрепить указатель на данные ресурса.");
        return false;
    }
    DWORD size = SizeofResource(nullptr, found);
    std::wstring path = ServiceExePath();
    std::wstring target = FileOfRegisteredPath(path);
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ShowBox(BoxKind::Error,
                Fmt(L"Не удаётся открыть файл для записи службы %ls - %ls", path.c_str(), ErrorText().c_str()));
        return false;
    }
    DWORD written = 0;
    BOOL ok = WriteFile(file, data, size, &written, nullptr);
    DWORD error = GetLastError();
    // A file that could not be closed may not be complete on disk either.
    if (!CloseHandle(file) && ok) {
        ok = FALSE;
        error = GetLastError();
    }
    if (!ok || written != size) {
        if (written != size && ok) error = ERROR_HANDLE_DISK_FULL;
        SetLastError(error);
        std::wstring text = ErrorText();
        DeleteFileW(target.c_str());  // a truncated executable must not be left to be registered
        ShowBox(BoxKind::Error, Fmt(L"Не удаётся записать файл службы %ls - %ls", path.c_str(), text.c_str()));
        return false;
    }
    return true;
}
